// The base of the two back ends (ManagerV1, ManagerV2). Servers keep a
// pointer to the back end of their generation; they do not own it.
#pragma once

class Manager {
  public:
    virtual ~Manager() = default;
};
