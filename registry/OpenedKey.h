// A key handle that is closed when the call that opened it returns, whichever
// way it returns.
#pragma once

#include "Platform.h"

class OpenedKey {
  public:
    explicit OpenedKey(HKEY key) : key_(key) {}
    ~OpenedKey() {
        if (key_ != nullptr) {
            platform::RegCloseKey(key_);
        }
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY Get() const { return key_; }

  private:
    HKEY key_;
};
