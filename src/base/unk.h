// Root of the program's interfaces: objects held and destroyed through an
// interface pointer.
#pragma once

class IUnk {
 public:
  virtual ~IUnk() = default;
};
