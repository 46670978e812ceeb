// Where the icon of a minimised window is drawn: centred, the odd pixel
// to the right and below. Signed division truncates toward zero, so a
// client area smaller than the icon gives (0 - 32 + 1) / 2 = -15.
#pragma once

inline int IconOrigin(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }
