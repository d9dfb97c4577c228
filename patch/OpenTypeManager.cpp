#include "patch/OpenTypeManager.h"

#include <algorithm>

namespace fr {

OpenTypeManager::OpenTypeManager(platform::Files& files, platform::Pauses& pauses) : m_files(files), m_pauses(pauses) {
    m_ObjectType = 0;
}

bool OpenTypeManager::readLicenseStrings() {
    m_SerialNumber.fill(0);
    m_SerialNumberUni.fill(0);
    return getSerialNumber(m_SerialNumber, m_SerialNumberUni);
}


}  // namespace fr
