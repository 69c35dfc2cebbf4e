#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reference values of the weighted and fixed-parameter tests, computed with SciPy and NumPy (Debian
# python3-scipy) independently of kelvora-fit: weighted least squares on Y by scipy.optimize.curve_fit
# (sigma, absolute_sigma), tolerances at their tightest; the weighted linearised fit by NumPy's normal
# equations with the weights carried to the line (ln Y: Y^2 / sigma^2). The tests hold a copy.
import numpy as np
from scipy.optimize import curve_fit

x = np.array([1, 2, 3, 4, 5, 6.0])
y = np.array([2.1, 3.9, 6.2, 7.8, 10.3, 11.8])
s = np.array([0.1, 0.2, 0.2, 0.4, 0.5, 0.5])
tight = dict(xtol=1e-15, ftol=1e-15, gtol=1e-15)

def show(name, p, c):
    print(name, ' '.join('%.15g' % v for v in p), ' '.join('%.15g' % v for v in np.sqrt(np.diag(c))))

p, c = curve_fit(lambda x, a, b: a + b * x, x, y, sigma=s, **tight)
show('line sigma relative', p, c)
p, c = curve_fit(lambda x, a, b: a * np.exp(b * x), x, y, p0=[1.8, 0.33], sigma=s, absolute_sigma=True, **tight)
show('exp sigma absolute refined', p, c)
print('chi2 %.15g' % np.sum(((y - p[0] * np.exp(p[1] * x)) / s) ** 2))
w = y ** 2 / s ** 2
X = np.column_stack([np.ones_like(x), x])
cov = np.linalg.inv(X.T @ np.diag(w) @ X)
beta = cov @ X.T @ np.diag(w) @ np.log(y)
print('exp sigma absolute linearised %.15g %.15g %.15g %.15g' % (np.exp(beta[0]), beta[1], np.exp(beta[0]) * np.sqrt(cov[0, 0]), np.sqrt(cov[1, 1])))
p, c = curve_fit(lambda x, b: b * x, x, y, sigma=s, **tight)
show('line A=0 sigma relative', p, c)
p, c = curve_fit(lambda x, b: 2.0 * np.exp(b * x), x, y, p0=[0.3], sigma=s, **tight)
show('exp A=2 sigma relative refined', p, c)
p, c = curve_fit(lambda x, a, b: a + b * x, x, y, sigma=np.sqrt(np.abs(y)), **tight)
show('line 1/y', p, c)
p, c = curve_fit(lambda x, a: a + 2.0 * x, x, y, **tight)
show('line B=2 unweighted', p, c)

# The linear cases in closed form (normal equations), which curve_fit's iteration meets only to ~1e-8.
wl = 1 / s ** 2
A = X.T @ np.diag(wl) @ X
b = np.linalg.solve(A, X.T @ (wl * y))
chi2 = np.sum(wl * (y - X @ b) ** 2)
print('line sigma relative, closed form', *('%.15g' % v for v in b), *('%.15g' % v for v in np.sqrt(np.diag(np.linalg.inv(A)) * chi2 / 4)))
bb = np.sum(wl * x * y) / np.sum(wl * x * x)
print('line A=0 sigma relative, closed form %.15g %.15g' % (bb, np.sqrt(np.sum(wl * (y - bb * x) ** 2) / 5 / np.sum(wl * x * x))))
