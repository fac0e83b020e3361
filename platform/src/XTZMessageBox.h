// Platform half of TZRunMessageBox.
#pragma once

#include "platform/TZMessageBox.h"

// Shows the system box when a display exists. Returns false when there is no display or the box
// could not be shown; outAnswer is then unchanged.
bool XTZShowSystemMessageBox(const TZMessageBoxRequest& inRequest, TZMessageBoxAnswer& outAnswer);
