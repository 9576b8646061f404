#pragma once

// The serial error code for a refused open: no such device is -2001, access denied (another
// program holds the port) is -2008, any other system error e is -e.
int openErrorCode(unsigned long error);
