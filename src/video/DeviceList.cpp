#include "video/DeviceList.h"

#include "platform/V4l2Device.h"
#include "video/TestPatternSource.h"

namespace kova {

void CDeviceList::Enumerate() {
    std::vector<CaptureDeviceEntry> cameras;
    for (const V4l2DeviceInfo& d : enumerateV4l2Devices(kMaxDevices)) {
        cameras.push_back({d.name, [d] { return createV4l2Source(d); }});
    }
    Enumerate(std::move(cameras));
}

void CDeviceList::Enumerate(std::vector<CaptureDeviceEntry> cameras) {
    entries_.clear();
    cameras.push_back(
        {CTestPatternSource::kName,
         [] { return std::unique_ptr<ICaptureSource>(std::make_unique<CTestPatternSource>()); }});
    for (auto& entry : cameras) {
        if (entries_.size() >= kMaxDevices) {
            break;
        }
        entries_.push_back(std::move(entry));
    }
}

QString CDeviceList::Name(int index) const {
    return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)].name
                                         : QString();
}

std::unique_ptr<ICaptureSource> CDeviceList::CreateSource(int index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index)].create();
}

int CDeviceList::Find(const QString& name) const {
    for (int i = 0; i < Count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)].name == name) {
            return i;
        }
    }
    return -1;
}

}  // namespace kova
