#pragma once
// The child id a screen reader passes to ask an accessible object about itself.
#include <windows.h>
#include <oleacc.h>

namespace vaq {

inline VARIANT SelfChild() {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

}  // namespace vaq
