#include "serialport/windows/Win32Errors.h"

#include "serialport/SerialPortErrors.h"

#include <windows.h>

int openErrorCode(unsigned long error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return SerialError::BadId;
  case ERROR_ACCESS_DENIED:
    return SerialError::AlreadyOpen;
  default:
    return -int(error);
  }
}
