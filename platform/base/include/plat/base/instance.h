// Process instance slots: a fixed number of numbered slots per family, each
// held through an flock'ed lock file so that a crashed process frees its slot.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// $PLAT_RUNTIME_DIR if set, else $XDG_RUNTIME_DIR/plat, else /tmp/plat-<uid>.
// Created on first use.
std::string runtime_dir();

class InstanceSlot {
public:
    InstanceSlot(InstanceSlot&& other) noexcept;
    InstanceSlot& operator=(InstanceSlot&& other) noexcept;
    InstanceSlot(const InstanceSlot&) = delete;
    InstanceSlot& operator=(const InstanceSlot&) = delete;
    ~InstanceSlot();

    int index() const { return index_; }
    void release();

private:
    friend std::optional<InstanceSlot> claim_instance_slot(std::string_view, int);
    InstanceSlot(int index, int fd) : index_(index), fd_(fd) {}
    int index_ = -1;
    int fd_ = -1;
};

// Claims the lowest free slot 0..count-1 of `family` (lock file
// "<runtime dir>/<family><i>.lock"); nullopt when all are held.
std::optional<InstanceSlot> claim_instance_slot(std::string_view family, int count);

}  // namespace plat
