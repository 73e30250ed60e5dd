#!/usr/bin/python3
# How close each tool's downscales come to a careful reference: Pillow's
# Lanczos of the full decode, at the size the tool wrote. PSNR over the three
# channels, SSIM of the luma (Gaussian window of 11, sigma 1.5).
#
#   bench/quality.py SOURCES OUTPUTS...
#
# SOURCES holds the photos and zoneplate.jpg; each OUTPUTS folder holds one
# tool's lossless results, named as the sources with another extension. One
# line per OUTPUTS folder, tab-separated: mean and worst photo PSNR, zone
# plate PSNR, mean and worst photo SSIM, zone plate SSIM, photos compared.
import sys
from pathlib import Path
import numpy as np
from PIL import Image

ZONE_PLATE = 'zoneplate'


def gauss(a, sigma=1.5, radius=5):
    t = np.arange(-radius, radius + 1)
    w = np.exp(-t * t / (2 * sigma * sigma))
    w /= w.sum()
    p = np.pad(a, radius, mode='reflect')
    rows = sum(w[i] * p[:, i:i + a.shape[1]] for i in range(2 * radius + 1))
    return sum(w[i] * rows[i:i + a.shape[0], :] for i in range(2 * radius + 1))


def ssim(a, b):
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    ma, mb = gauss(a), gauss(b)
    va, vb, cov = gauss(a * a) - ma * ma, gauss(b * b) - mb * mb, gauss(a * b) - ma * mb
    return float((((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2))).mean())


def luma(rgb):
    return rgb @ np.array([0.299, 0.587, 0.114])


def pixels(image):
    return np.asarray(image.convert('RGB'), dtype=np.float64)


references = {}


def reference(source, size):
    key = (source, size)
    if key not in references:
        with Image.open(source) as full:
            references[key] = np.asarray(full.convert('RGB').resize(size, Image.LANCZOS))
    return references[key].astype(np.float64)


def score(sources, outputs):
    photos, plate = [], None
    for out in sorted(Path(outputs).iterdir()):
        candidates = list(Path(sources).glob(out.stem + '.*'))
        if not candidates:
            continue
        with Image.open(out) as image:
            got = pixels(image)
        want = reference(candidates[0], (got.shape[1], got.shape[0]))
        mse = max(float(((want - got) ** 2).mean()), 1e-10)
        measured = (10 * np.log10(255 * 255 / mse), ssim(luma(want), luma(got)))
        if out.stem == ZONE_PLATE:
            plate = measured
        else:
            photos.append(measured)
    if not photos or plate is None:
        return 'missing'
    psnr, structure = [p for p, _ in photos], [s for _, s in photos]
    return '\t'.join(['%.2f' % np.mean(psnr), '%.2f' % min(psnr), '%.2f' % plate[0],
                      '%.4f' % np.mean(structure), '%.4f' % min(structure), '%.4f' % plate[1],
                      str(len(photos))])


for folder in sys.argv[2:]:
    print(score(sys.argv[1], folder), flush=True)
