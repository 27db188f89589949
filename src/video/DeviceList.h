#pragma once
// The capture devices to choose from: cameras by name, then the built-in Test
// Pattern, at most 11 in all.

#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "platform/CaptureSource.h"

namespace kova {

struct CaptureDeviceEntry {
    QString name;
    std::function<std::unique_ptr<ICaptureSource>()> create;
};

class CDeviceList {
public:
    static constexpr std::size_t kMaxDevices = 11;

    // Cameras found on this machine, then the Test Pattern.
    void Enumerate();
    // The given devices, then the Test Pattern; entries past kMaxDevices are dropped.
    void Enumerate(std::vector<CaptureDeviceEntry> cameras);

    int Count() const { return static_cast<int>(entries_.size()); }
    // Empty when out of range.
    QString Name(int index) const;
    // A fresh source for the device; none when out of range.
    std::unique_ptr<ICaptureSource> CreateSource(int index) const;
    // Exact, case-sensitive; -1 when absent.
    int Find(const QString& name) const;

private:
    std::vector<CaptureDeviceEntry> entries_;
};

}  // namespace kova
