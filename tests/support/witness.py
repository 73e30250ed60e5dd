#!/usr/bin/env python3
# For each "KIND PATH" line: "PATH<tab>width<tab>height<tab>R<tab>G<tab>B", the
# mean colour on white, or "PATH<tab>ERROR<tab>why". Drawings are checked by
# ezdxf: an R12 file with no audit error, nothing but SOLIDs that tile the
# extents with their corners joined in ezdxf's order, whose mean colour is
# weighted by area.
import sys
from PIL import Image, ImageStat
import ezdxf
from ezdxf import bbox, colors
def raster(path):
    image = Image.open(path)
    rgba = image.convert('RGBA')
    ground = Image.new('RGBA', rgba.size, (255, 255, 255, 255))
    mean = ImageStat.Stat(Image.alpha_composite(ground, rgba).convert('RGB')).mean
    return image.size, mean
def drawing(path):
    doc = ezdxf.readfile(path)
    if doc.dxfversion != 'AC1009' or doc.audit().errors:
        raise ValueError('version %s, audit errors %d' % (doc.dxfversion, len(doc.audit().errors)))
    msp = doc.modelspace()
    if len(msp.query('SOLID')) != len(msp):
        raise ValueError('entities other than SOLID')
    box = bbox.extents(msp)
    total, sums = 0.0, [0.0, 0.0, 0.0]
    for s in msp:
        # The area of the corners in ezdxf's drawing order: a bow-tie's is 0.
        v = s.vertices(close=True)
        area = abs(sum(a.x * b.y - b.x * a.y for a, b in zip(v, v[1:]))) / 2
        # Colour 7 is the foreground: black on the white ground we draw on.
        rgb = s.rgb if s.rgb else (0, 0, 0) if s.dxf.color == 7 else colors.aci2rgb(s.dxf.color)
        total += area
        sums = [a + area * c for a, c in zip(sums, rgb)]
    size = (round(box.size.x), round(box.size.y))
    if abs(total - size[0] * size[1]) > 0.5:
        raise ValueError('the rectangles cover %g, not %d' % (total, size[0] * size[1]))
    return size, [c / total for c in sums]
for line in sys.stdin:
    kind, path = line.rstrip('\n').split(' ', 1)
    try:
        size, mean = drawing(path) if kind == 'dxf' else raster(path)
        print('%s\t%d\t%d\t%.3f\t%.3f\t%.3f' % ((path,) + tuple(size) + tuple(mean)))
    except Exception as e:
        print('%s\tERROR\t%s' % (path, str(e).replace('\n', ' ')))
