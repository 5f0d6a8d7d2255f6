#!/usr/bin/env python3
"""Fits the polynomials of the vector least-squares anaglyph (AnaglyphMethods.cpp).

Decoding (sRGB byte b -> linear light), for b >= 11 (b <= 10 is the straight
segment b / (255 x 12.92)):
    linear(b) = s*beta + (b - beta) * Q(b - beta),  s = 1 / (255 x 12.92)
with beta = 10.5, where the straight segment meets the curve, so that the
segment is the same form with Q replaced by s: the sign of (b - beta) picks
the branch and the constant term is shared.

Encoding (linear v -> sRGB levels 0..255), v = m * 2^e with m in [0.5, 2)
and e even (two octaves per step of the exponent table):
    levels(v) = 255 x 1.055 x 2^(e / 2.4) x P(m) - 255 x 0.055,  P(m) ~ m^(1/2.4).
The kernel takes the smaller of that curve and the straight segment
V = 255 x 12.92 x v, the table's entries for V < 8 levels being huge (so the
segment is taken there); its error is checked here over every V from 0 to
255 x 12.92 in that form, the stretch from 8 levels to the threshold, where
the curve lies under the segment, included.

Both are discrete minimax fits (Lawson's iteration on a Chebyshev basis),
printed as monomial coefficients for Horner's rule in single precision, with
their largest errors. Needs numpy (Debian: python3-numpy). Run:
    python3 tools/fit_srgb_polynomials.py
"""
import numpy as np

DECODE_DEGREE = 3  # of Q
ENCODE_DEGREE = 4  # of P


def minimax(x, f, degree, weight=None, iterations=800):
    """Coefficients (lowest first) of the polynomial of `degree` whose largest
    weighted error over the points x is (nearly) least, and that error."""
    a, b = x.min(), x.max()
    basis = np.polynomial.chebyshev.chebvander((2 * x - (a + b)) / (b - a), degree)
    w = np.ones_like(x) if weight is None else weight
    u = np.full_like(x, 1.0 / len(x))
    for _ in range(iterations):
        r = np.sqrt(u) * w
        c, *_ = np.linalg.lstsq(basis * r[:, None], f * r, rcond=None)
        err = np.abs((basis @ c - f) * w) + 1e-300
        u = u * err
        u /= u.sum()
    poly = np.polynomial.chebyshev.Chebyshev(c, domain=[a, b]).convert(kind=np.polynomial.Polynomial)
    coef = np.pad(poly.coef, (0, degree + 1 - len(poly.coef)))
    return coef, np.max(np.abs((poly(x) - f) * w))


def srgb_to_linear(c):
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def linear_to_srgb(v):
    return np.where(v <= 0.0031308, v * 12.92, 1.055 * np.abs(v) ** (1 / 2.4) - 0.055)


def horner32(coef, x):
    x = np.float32(x) if np.isscalar(x) else x.astype(np.float32)
    r = np.float32(coef[-1]) * np.ones_like(x)
    for c in coef[-2::-1]:
        r = (r * x + np.float32(c)).astype(np.float32)
    return r


def main():
    s = 1 / (255 * 12.92)
    beta = 10.5
    b = np.arange(11, 256.0)
    xp = b - beta
    q, q_err = minimax(xp, (srgb_to_linear(b / 255) - s * beta) / xp, DECODE_DEGREE, weight=xp)
    q = q.astype(np.float32)
    every = np.arange(256.0)
    xs = (every - beta).astype(np.float32)
    # The kernel takes the larger of Q and s as the factor: below beta, Q must
    # stay under s (the straight segment exactly); above, where it may not,
    # the error below counts it.
    got = np.maximum(horner32(q, xs), np.float32(s)) * xs + np.float32(s * beta)
    assert np.all(horner32(q, xs[xs < 0]) < s), 'Q is over s below beta'
    dec_err = np.max(np.abs(got - srgb_to_linear(every / 255)))

    m = np.linspace(0.5, 2.0, 30001)
    p, p_err = minimax(m, m ** (1 / 2.4), ENCODE_DEGREE, weight=m ** (-1 / 2.4))
    p = p.astype(np.float32)
    v = np.linspace(0.0031308, 1.0, 200001)
    e = 2 * np.floor(np.log2(v) / 2 + 0.5)          # m = v / 2^e in [0.5, 2)
    mm = (v / 2.0 ** e).astype(np.float32)
    levels = 255 * 1.055 * 2.0 ** (e / 2.4) * horner32(p, mm) - 255 * 0.055
    enc_err = np.max(np.abs(levels - 255 * linear_to_srgb(v)))

    # The kernel's form: min(curve, V), V in levels of the segment, with the
    # table entry of V's own exponent pair (huge below 8 levels).
    seg = 255 * 12.92
    V = np.linspace(0.0, seg, 400001)[1:]
    pair = 2 * np.floor((np.log2(V) + 1) / 2)      # m = V / 2^pair in [0.5, 2)
    mv = (V / 2.0 ** pair).astype(np.float32)
    curve = 255 * 1.055 * (2.0 ** pair / seg) ** (1 / 2.4) * horner32(p, mv) - 255 * 0.055
    curve = np.where(V >= 8, curve, np.inf)
    kernel = np.minimum(curve, V)
    exact = 255 * linear_to_srgb(V / seg)
    form_err = np.max(np.abs(kernel - exact))
    threshold = 0.0031308 * seg
    outside = (V < 8) | (V >= threshold)
    form_err_out = np.max(np.abs(kernel - exact)[outside])

    fmt = lambda a: ", ".join("%.9ef" % c for c in a)
    print("// Decoding Q, lowest power first: max error %.2e in linear light (%.2f grey levels" % (dec_err, dec_err * 255 * 12.92))
    print("// where the encoding is steepest); fit error %.2e." % q_err)
    print("constexpr float kDecodeQ[%d] = {%s};" % (len(q), fmt(q)))
    print("// Encoding P, lowest power first: relative error %.2e, max error %.3f grey levels." % (p_err, enc_err))
    print("constexpr float kEncodeP[%d] = {%s};" % (len(p), fmt(p)))
    print("// As the kernel encodes (the smaller of curve and segment): max error %.3f grey levels," % form_err)
    print("// %.3f outside 8 <= V < %.2f." % (form_err_out, threshold))


if __name__ == "__main__":
    main()
