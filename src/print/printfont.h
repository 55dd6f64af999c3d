#pragma once

class QFont;

// The printed text's face: 宋体, or where it is missing a serif face that has
// the Latin and the Chinese letters (DejaVu Serif, Noto Serif CJK SC).
QFont printFont(double points, bool bold);
