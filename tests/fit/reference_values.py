#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reference values of the fit tests, computed with SciPy and NumPy (Debian python3-scipy), independently of
# kelvora-fit: least squares on Y by MINPACK's Levenberg-Marquardt (scipy.optimize.curve_fit, standard
# errors from its covariance), and the linearised fits' uncertainties from the line's covariance matrix
# (NumPy normal equations) pushed through a finite-difference Jacobian of the back-transformation.
# Prints the data and the values; the tests hold a copy of both.
import numpy as np
from scipy.optimize import curve_fit

def data(f, xs, noise, seed):
    rng = np.random.RandomState(seed)
    ys = f(xs) + rng.normal(0, noise, xs.size)
    return xs, np.array([float('%.6g' % y) for y in ys])

models = {
    5: lambda x, a, b: a * np.exp(b * x),
    8: lambda x, a, b: a * x ** b,
    12: lambda x, a, b: a * x / (b + x),
    11: lambda x, a, b: a / (b + x),
}
line = {  # t(x), z(y), back(a0, b0) -> (A, B)
    5: (lambda x: x, np.log, lambda a0, b0: (np.exp(a0), b0)),
    8: (np.log10, np.log10, lambda a0, b0: (10 ** a0, b0)),
    12: (lambda x: 1 / x, lambda y: 1 / y, lambda a0, b0: (1 / a0, b0 / a0)),
    11: (lambda x: x, lambda y: 1 / y, lambda a0, b0: (1 / b0, a0 / b0)),
}

def linearised(k, x, y):
    t, z = line[k][0](x), line[k][1](y)
    X = np.column_stack([np.ones_like(t), t])
    coef, *_ = np.linalg.lstsq(X, z, rcond=None)
    r = z - X @ coef
    cov = (r @ r) / (len(x) - 2) * np.linalg.inv(X.T @ X)
    back = line[k][2]
    h = 1e-7
    J = np.zeros((2, 2))
    for j in range(2):
        d = np.zeros(2); d[j] = h * max(1.0, abs(coef[j]))
        J[:, j] = (np.array(back(*(coef + d))) - np.array(back(*(coef - d)))) / (2 * d[j])
    c = J @ cov @ J.T
    return back(*coef), np.sqrt(np.diag(c)), 1 - (r @ r) / np.sum((z - z.mean()) ** 2)

cases = [
    ('Decay', 5, data(lambda x: 5 * np.exp(-0.5 * x), np.arange(0, 6.01, 0.5), 0.05, 12)),
    ('DecayBelowZero', 5, data(lambda x: 5 * np.exp(-1.2 * x), np.arange(0, 8.01, 0.5), 0.05, 7)),
    ('Power', 8, data(lambda x: 2 * x ** 1.5, np.arange(1, 10.01, 1.0), 0.3, 3)),
    ('Saturation', 12, data(lambda x: 3 * x / (2 + x), np.arange(0.5, 10.01, 0.5), 0.04, 5)),
    ('Hyperbola', 11, data(lambda x: 4 / (1.5 + x), np.arange(0, 6.01, 0.5), 0.02, 9)),
]
for name, k, (x, y) in cases:
    p0 = [y[0] if y[0] > 0 else 1, -0.5] if k == 5 else [1, 1]
    p, pcov = curve_fit(models[k], x, y, p0=p0, method='lm', xtol=1e-14, ftol=1e-14, maxfev=10000)
    se = np.sqrt(np.diag(pcov))
    rss = np.sum((y - models[k](x, *p)) ** 2)
    print(name, k, 'x', ','.join('%.6g' % v for v in x))
    print('  y', ','.join('%.6g' % v for v in y))
    print('  refined A B seA seB S(n-1) = %.15g %.15g %.15g %.15g %.15g' % (p[0], p[1], se[0], se[1], np.sqrt(rss / (len(x) - 1))))
    if np.all(y > 0):
        (a, b), (sa, sb), r2l = linearised(k, x, y)
        print('  linearised A B seA seB r2line = %.15g %.15g %.15g %.15g %.15g' % (a, b, sa, sb, r2l))
from scipy.stats import t
print('t975', [('%d' % d, '%.15g' % t.ppf(0.975, d)) for d in (1, 2, 5, 34, 1000)])
