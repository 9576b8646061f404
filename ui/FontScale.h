#pragma once

class QWidget;

// The windows were laid out in pixels for a small system font (8-point MS Sans Serif, 5 pixels
// for an average character). With the platform's font their fixed sizes grow by as much as its
// characters are wider, so that every text fits as it was meant to.
namespace FontScale {
double factor(const QWidget *widget);
int scaled(int designPixels, const QWidget *widget);
} // namespace FontScale
