#include "platform/Messages.h"

namespace platform {

UINT TaskbarCreatedMessage() {
  static const UINT id = ::RegisterWindowMessageW(L"TaskbarCreated");
  return id;
}

}  // namespace platform
