#pragma once
// Base of the table model's objects: carries an object type code (-1 bare, 0 manager, 2 table).

#include <cstdint>

namespace fr {

class OpenTypeObj {
public:
    OpenTypeObj() = default;
    virtual ~OpenTypeObj() = default;
    OpenTypeObj(const OpenTypeObj&) = delete;
    OpenTypeObj& operator=(const OpenTypeObj&) = delete;

    std::int32_t getObjectType() const { return m_ObjectType; }
    void setObjectType(std::int32_t type) { m_ObjectType = type; }

protected:
    std::int32_t m_ObjectType = -1;
};

}  // namespace fr
