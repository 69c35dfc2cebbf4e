#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reference values for the fits with errors in X and Y: SciPy's odr (ODRPACK) with the models'
# derivatives written out and tolerances at the limit of double precision. Prints each case's data and
# A, B, their unscaled standard errors (from cov_beta), chi2 (sum_square) and the MSWD (res_var), as
# test_xy_errors.cpp holds them. Needs SciPy (Debian: python3-scipy); the tests do not.
import math
import numpy as np
from scipy import odr

LN10 = math.log(10.0)

MODELS = {
    0: (lambda p, x: p[0] + p[1] * x,
        lambda p, x: np.vstack([np.ones_like(x), x]),
        lambda p, x: p[1] * np.ones_like(x)),
    5: (lambda p, x: p[0] * np.exp(p[1] * x),
        lambda p, x: np.vstack([np.exp(p[1] * x), p[0] * x * np.exp(p[1] * x)]),
        lambda p, x: p[0] * p[1] * np.exp(p[1] * x)),
    8: (lambda p, x: p[0] * x ** p[1],
        lambda p, x: np.vstack([x ** p[1], p[0] * np.log(x) * x ** p[1]]),
        lambda p, x: p[0] * p[1] * x ** (p[1] - 1)),
    12: (lambda p, x: p[0] * x / (p[1] + x),
         lambda p, x: np.vstack([x / (p[1] + x), -p[0] * x / (p[1] + x) ** 2]),
         lambda p, x: p[0] * p[1] / (p[1] + x) ** 2),
    15: (lambda p, x: p[0] + p[1] * x ** 2,
         lambda p, x: np.vstack([np.ones_like(x), x ** 2]),
         lambda p, x: 2 * p[1] * x),
}


def fit(model, x, y, sx, sy, start):
    f, fb, fd = MODELS[model]
    m = odr.Model(f, fjacb=fb, fjacd=fd)
    data = odr.RealData(x, y, sx=sx, sy=sy)
    run = odr.ODR(data, m, beta0=start, sstol=1e-15, partol=1e-15, maxit=2000)
    run.set_job(deriv=3)  # the derivatives given, checked
    return run.run()


def case(name, model, x, y, sx, sy, start):
    out = fit(model, np.array(x), np.array(y), np.array(sx), np.array(sy), start)
    se = np.sqrt(np.diag(out.cov_beta))
    print(f'{name}: model {model} stop {out.stopreason}')
    for label, values in (('x', x), ('y', y), ('sx', sx), ('sy', sy)):
        print(f'  {label} = {{' + ', '.join(f'{v:.6g}' for v in values) + '}')
    print(f'  A={out.beta[0]:.15g} B={out.beta[1]:.15g} seA={se[0]:.15g} seB={se[1]:.15g} '
          f'chi2={out.sum_square:.15g} mswd={out.res_var:.15g}')


rng = np.random.default_rng(28)


def noisy(model, truth, x, sx, sy):
    f = MODELS[model][0]
    xt = np.array(x)
    xm = xt + rng.normal(0.0, 1.0, len(x)) * np.array(sx)
    ym = f(truth, xt) + rng.normal(0.0, 1.0, len(x)) * np.array(sy)
    return [float(f'{v:.6g}') for v in xm], [float(f'{v:.6g}') for v in ym]


pearson_x = [0.0, 0.9, 1.8, 2.6, 3.3, 4.4, 5.2, 6.1, 6.5, 7.4]
pearson_y = [5.9, 5.4, 4.4, 4.6, 3.5, 3.7, 2.8, 2.8, 2.4, 1.5]
wx = [1000, 1000, 500, 800, 200, 80, 60, 20, 1.8, 1]
wy = [1, 1.8, 4, 8, 20, 20, 70, 70, 100, 500]
case('PearsonYork', 0, pearson_x, pearson_y, [1 / math.sqrt(w) for w in wx], [1 / math.sqrt(w) for w in wy],
     [5.76, -0.54])

xs = [0.5 * i for i in range(1, 13)]
sx = [0.05 + 0.01 * i for i in range(12)]
sy = [0.1 * (1 + (i % 3)) for i in range(12)]
x, y = noisy(5, [10.0, -0.3], xs, sx, [0.02 * s * 10 for s in sy])
case('Decay', 5, x, y, sx, [0.02 * s * 10 for s in sy], [10.0, -0.3])

x, y = noisy(8, [2.0, 1.5], [1, 2, 3, 4, 5, 6, 7, 8, 9, 10], [0.1] * 10, [0.5] * 10)
case('Power', 8, x, y, [0.1] * 10, [0.5] * 10, [2.0, 1.5])

conc = [0.02, 0.04, 0.06, 0.11, 0.22, 0.3, 0.56, 0.8, 1.1, 1.5]
sxc = [0.002 + 0.05 * c for c in conc]
syc = [4.0] * 10
x, y = noisy(12, [210.0, 0.065], conc, sxc, syc)
case('Saturation', 12, x, y, sxc, syc, [210.0, 0.065])

x, y = noisy(15, [1.0, 0.5], [-3, -2, -1, -0.5, 0, 0.5, 1, 2, 3], [0.05] * 9, [0.2] * 9)
case('Parabola', 15, x, y, [0.05] * 9, [0.2] * 9, [1.0, 0.5])
