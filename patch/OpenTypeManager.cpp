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

bool OpenTypeManager::allocateImage(std::uint32_t length) {
    releaseImage();
    m_pWriteData = ZeroedBuffer::ofSize(length);
    if (m_pWriteData.size() != length) return false;
    m_WriteLength = length;
    return true;
}

std::span<std::uint8_t> OpenTypeManager::image() {
    return m_pWriteData.bytes().first(std::min<std::size_t>(m_WriteLength, m_pWriteData.size()));
}

// The new font's length stays known: the written file is checked against it.
void OpenTypeManager::releaseImage() { m_pWriteData = ZeroedBuffer(); }

}  // namespace fr
