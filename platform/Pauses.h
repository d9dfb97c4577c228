#pragma once
// The wizard's and the driver's fixed pauses; tests make them instant.

namespace platform {

class Pauses {
public:
    virtual ~Pauses() = default;
    virtual void pause(int milliseconds) = 0;
};

}  // namespace platform
