// A V4L2 device set that answers from recorded tables: nodes with their
// capabilities, the format they give, their controls and menus, and frames a
// test hands out while streaming. It counts what a provider must release
// (descriptors, mappings, buffer requests) and can fail any request or be
// unplugged, after which everything answers ENODEV.
#pragma once

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "v4l2_io.h"

namespace fake_v4l2 {

struct Control {
    v4l2_queryctrl query{};
    std::int32_t value = 0;
    std::set<std::uint32_t> menu;  // the menu indices the device offers
};

struct Node {
    std::string card = "Fake camera";
    std::uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    std::uint32_t device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    bool refuse_open = false;

    // What S_FMT answers; unset echoes the request.
    std::uint32_t answer_format = 0;
    std::optional<std::uint32_t> answer_width;
    std::optional<std::uint32_t> answer_height;
    std::uint32_t answer_bytesperline = 0;  // 0: width * 3

    bool timeperframe = true;
    std::vector<v4l2_fract> intervals;  // discrete frame intervals offered

    std::map<std::uint32_t, Control> controls;
};

inline Control integer_control(std::uint32_t id, std::int32_t min, std::int32_t max, std::int32_t step,
                               std::int32_t def) {
    Control c;
    c.query.id = id;
    c.query.type = V4L2_CTRL_TYPE_INTEGER;
    c.query.minimum = min;
    c.query.maximum = max;
    c.query.step = step;
    c.query.default_value = def;
    c.value = def;
    return c;
}

inline Control boolean_control(std::uint32_t id, bool value) {
    Control c = integer_control(id, 0, 1, 1, 1);
    c.query.type = V4L2_CTRL_TYPE_BOOLEAN;
    c.value = value;
    return c;
}

inline Control menu_control(std::uint32_t id, std::int32_t min, std::int32_t max, std::set<std::uint32_t> items,
                            std::int32_t value) {
    Control c = integer_control(id, min, max, 1, value);
    c.query.type = V4L2_CTRL_TYPE_MENU;
    c.menu = std::move(items);
    return c;
}

struct Frame {
    std::vector<std::uint8_t> bytes;
    timeval timestamp{};
};

class FakeV4l2 final : public plat::capture::V4l2Io {
public:
    static constexpr std::uint32_t kOffsetStep = 0x10000;

    // ---- set up ----
    void add_node(const std::string& path, Node node) {
        std::lock_guard lock(mutex_);
        nodes_[path].node = std::move(node);
        order_.push_back(path);
    }
    // The (skip+1)-th next call of `request` fails with `err`.
    void fail(unsigned long request, int err, int skip = 0) {
        std::lock_guard lock(mutex_);
        failures_[request] = {err, skip};
    }
    // The (skip+1)-th next mmap fails.
    void fail_mmap(int skip = 0) {
        std::lock_guard lock(mutex_);
        mmap_failure_ = skip;
    }
    void push_frame(const std::string& path, std::vector<std::uint8_t> bytes, double seconds) {
        std::lock_guard lock(mutex_);
        Frame f;
        f.bytes = std::move(bytes);
        f.timestamp.tv_sec = time_t(seconds);
        f.timestamp.tv_usec = suseconds_t((seconds - double(f.timestamp.tv_sec)) * 1e6 + 0.5);
        nodes_.at(path).pending.push_back(std::move(f));
        cv_.notify_all();
    }
    void unplug(const std::string& path) {
        std::lock_guard lock(mutex_);
        nodes_.at(path).unplugged = true;
        cv_.notify_all();
    }

    // ---- what the provider did ----
    struct Counts {
        int open_fds = 0;
        int mmaps = 0;
        int munmaps = 0;
        int mapped = 0;          // mappings not yet undone
        int reqbufs_release = 0; // REQBUFS 0 that freed buffers
        int streamons = 0;
        int streamoffs = 0;
        int waits = 0;
        int dqbufs = 0;
        int s_parms = 0;
        bool streaming = false;
    };
    Counts counts(const std::string& path) const {
        std::lock_guard lock(mutex_);
        const State& s = nodes_.at(path);
        Counts c = s.counts;
        c.open_fds = 0;
        for (const auto& [fd, p] : fds_) c.open_fds += p == path;
        c.mapped = int(s.mapped.size());
        c.streaming = s.streaming;
        return c;
    }
    v4l2_pix_format last_format_request(const std::string& path) const {
        std::lock_guard lock(mutex_);
        return nodes_.at(path).format_request;
    }
    v4l2_fract last_timeperframe(const std::string& path) const {
        std::lock_guard lock(mutex_);
        return nodes_.at(path).timeperframe;
    }
    std::int32_t control_value(const std::string& path, std::uint32_t id) const {
        std::lock_guard lock(mutex_);
        return nodes_.at(path).node.controls.at(id).value;
    }
    // Every S_CTRL that the device took, in order.
    std::vector<std::pair<std::uint32_t, std::int32_t>> control_writes(const std::string& path) const {
        std::lock_guard lock(mutex_);
        return nodes_.at(path).writes;
    }

    // ---- V4l2Io ----
    std::vector<std::string> nodes() override {
        std::lock_guard lock(mutex_);
        return order_;
    }
    int open(const std::string& path) override {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(path);
        if (it == nodes_.end()) return -ENOENT;
        if (it->second.node.refuse_open || it->second.unplugged) return -EACCES;
        int fd = next_fd_++;
        fds_[fd] = path;
        return fd;
    }
    void close(int fd) override {
        std::lock_guard lock(mutex_);
        fds_.erase(fd);
    }
    void* mmap(int fd, std::size_t length, std::int64_t offset) override {
        std::lock_guard lock(mutex_);
        State* s = state(fd);
        if (!s || s->unplugged) return nullptr;
        if (mmap_failure_ >= 0 && mmap_failure_-- == 0) return nullptr;
        std::size_t index = std::size_t(offset) / kOffsetStep;
        if (index >= s->buffers.size() || length != s->buffers[index].size()) return nullptr;
        ++s->counts.mmaps;
        s->mapped.insert(index);
        return s->buffers[index].data();
    }
    void munmap(void* address, std::size_t) override {
        std::lock_guard lock(mutex_);
        for (auto& [path, s] : nodes_)
            for (std::size_t i = 0; i < s.buffers.size(); ++i)
                if (s.buffers[i].data() == address && s.mapped.erase(i)) ++s.counts.munmaps;
    }
    int wait_readable(int fd, int timeout_ms) override {
        std::unique_lock lock(mutex_);
        State* s = state(fd);
        if (!s) return -EBADF;
        ++s->counts.waits;
        auto ready = [s] { return s->unplugged || !s->streaming || (!s->pending.empty() && !s->queued.empty()); };
        cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
        if (s->unplugged) return -ENODEV;
        if (!s->streaming) return -EINVAL;  // poll answers POLLERR then
        return ready() ? 1 : 0;
    }

    int ioctl(int fd, unsigned long request, void* arg) override {
        std::lock_guard lock(mutex_);
        State* s = state(fd);
        if (!s) return -EBADF;
        if (auto f = failures_.find(request); f != failures_.end()) {
            if (f->second.second-- == 0) {
                int err = f->second.first;
                failures_.erase(f);
                return -err;
            }
        }
        if (s->unplugged) return -ENODEV;
        switch (request) {
            case VIDIOC_QUERYCAP: return querycap(*s, static_cast<v4l2_capability*>(arg));
            case VIDIOC_S_FMT: return s_fmt(*s, static_cast<v4l2_format*>(arg));
            case VIDIOC_G_PARM: return g_parm(*s, static_cast<v4l2_streamparm*>(arg));
            case VIDIOC_S_PARM: return s_parm(*s, static_cast<v4l2_streamparm*>(arg));
            case VIDIOC_ENUM_FRAMEINTERVALS: return enum_intervals(*s, static_cast<v4l2_frmivalenum*>(arg));
            case VIDIOC_REQBUFS: return reqbufs(*s, static_cast<v4l2_requestbuffers*>(arg));
            case VIDIOC_QUERYBUF: return querybuf(*s, static_cast<v4l2_buffer*>(arg));
            case VIDIOC_QBUF: return qbuf(*s, static_cast<v4l2_buffer*>(arg));
            case VIDIOC_DQBUF: return dqbuf(*s, static_cast<v4l2_buffer*>(arg));
            case VIDIOC_STREAMON: ++s->counts.streamons; s->streaming = true; cv_.notify_all(); return 0;
            case VIDIOC_STREAMOFF:
                ++s->counts.streamoffs;
                s->streaming = false;
                s->queued.clear();
                cv_.notify_all();
                return 0;
            case VIDIOC_QUERYCTRL: return queryctrl(*s, static_cast<v4l2_queryctrl*>(arg));
            case VIDIOC_QUERYMENU: return querymenu(*s, static_cast<v4l2_querymenu*>(arg));
            case VIDIOC_G_CTRL: return g_ctrl(*s, static_cast<v4l2_control*>(arg));
            case VIDIOC_S_CTRL: return s_ctrl(*s, static_cast<v4l2_control*>(arg));
            default: return -ENOTTY;
        }
    }

private:
    struct State {
        Node node;
        bool unplugged = false;
        bool streaming = false;
        v4l2_pix_format format{};          // as answered
        v4l2_pix_format format_request{};  // as asked
        v4l2_fract timeperframe{};
        std::vector<std::vector<std::uint8_t>> buffers;
        std::set<std::size_t> mapped;
        std::deque<std::uint32_t> queued;
        std::deque<Frame> pending;
        std::vector<std::pair<std::uint32_t, std::int32_t>> writes;
        Counts counts;
    };

    State* state(int fd) {
        auto it = fds_.find(fd);
        return it == fds_.end() ? nullptr : &nodes_.at(it->second);
    }

    static int querycap(State& s, v4l2_capability* cap) {
        *cap = {};
        std::strncpy(reinterpret_cast<char*>(cap->driver), "fake", sizeof cap->driver);
        std::memcpy(cap->card, s.node.card.data(), std::min(s.node.card.size(), sizeof cap->card));
        cap->capabilities = s.node.capabilities;
        cap->device_caps = s.node.device_caps;
        return 0;
    }
    static int s_fmt(State& s, v4l2_format* f) {
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
        if (!s.buffers.empty()) return -EBUSY;
        s.format_request = f->fmt.pix;
        v4l2_pix_format& p = f->fmt.pix;
        if (s.node.answer_format) p.pixelformat = s.node.answer_format;
        if (s.node.answer_width) p.width = *s.node.answer_width;
        if (s.node.answer_height) p.height = *s.node.answer_height;
        p.field = V4L2_FIELD_NONE;
        p.bytesperline = s.node.answer_bytesperline ? s.node.answer_bytesperline : p.width * 3;
        p.sizeimage = p.bytesperline * p.height;
        s.format = p;
        return 0;
    }
    static int g_parm(State& s, v4l2_streamparm* p) {
        if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
        p->parm.capture = {};
        p->parm.capture.capability = s.node.timeperframe ? V4L2_CAP_TIMEPERFRAME : 0;
        p->parm.capture.timeperframe = s.timeperframe;
        return 0;
    }
    static int s_parm(State& s, v4l2_streamparm* p) {
        if (!s.node.timeperframe) return -ENOTTY;
        ++s.counts.s_parms;
        s.timeperframe = p->parm.capture.timeperframe;
        return 0;
    }
    static int enum_intervals(State& s, v4l2_frmivalenum* e) {
        if (e->index >= s.node.intervals.size()) return -EINVAL;
        if (e->pixel_format != s.format.pixelformat || e->width != s.format.width || e->height != s.format.height)
            return -EINVAL;
        e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        e->discrete = s.node.intervals[e->index];
        return 0;
    }
    static int reqbufs(State& s, v4l2_requestbuffers* r) {
        if (r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r->memory != V4L2_MEMORY_MMAP) return -EINVAL;
        if (s.streaming) return -EBUSY;
        if (!s.mapped.empty()) return -EBUSY;  // as the kernel: mapped buffers cannot be freed
        if (r->count == 0) {
            if (!s.buffers.empty()) ++s.counts.reqbufs_release;
            s.buffers.clear();
            s.queued.clear();
            return 0;
        }
        if (!s.buffers.empty()) return -EBUSY;
        r->count = std::min<std::uint32_t>(r->count, 8);
        s.buffers.assign(r->count, std::vector<std::uint8_t>(s.format.sizeimage));
        return 0;
    }
    static int querybuf(State& s, v4l2_buffer* b) {
        if (b->index >= s.buffers.size()) return -EINVAL;
        b->length = std::uint32_t(s.buffers[b->index].size());
        b->m.offset = b->index * kOffsetStep;
        return 0;
    }
    static int qbuf(State& s, v4l2_buffer* b) {
        if (b->index >= s.buffers.size()) return -EINVAL;
        if (std::find(s.queued.begin(), s.queued.end(), b->index) != s.queued.end()) return -EINVAL;
        s.queued.push_back(b->index);
        return 0;
    }
    static int dqbuf(State& s, v4l2_buffer* b) {
        if (!s.streaming) return -EINVAL;
        if (s.pending.empty() || s.queued.empty()) return -EAGAIN;
        ++s.counts.dqbufs;
        std::uint32_t index = s.queued.front();
        s.queued.pop_front();
        Frame f = std::move(s.pending.front());
        s.pending.pop_front();
        std::vector<std::uint8_t>& buf = s.buffers[index];
        std::size_t n = std::min(buf.size(), f.bytes.size());
        std::memcpy(buf.data(), f.bytes.data(), n);
        b->index = index;
        b->bytesused = std::uint32_t(n);
        b->flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
        b->timestamp = f.timestamp;
        b->length = std::uint32_t(buf.size());
        return 0;
    }
    static int queryctrl(State& s, v4l2_queryctrl* q) {
        auto it = s.node.controls.find(q->id);
        if (it == s.node.controls.end()) return -EINVAL;
        *q = it->second.query;
        return 0;
    }
    static int querymenu(State& s, v4l2_querymenu* m) {
        auto it = s.node.controls.find(m->id);
        if (it == s.node.controls.end() || it->second.query.type != V4L2_CTRL_TYPE_MENU) return -EINVAL;
        if (!it->second.menu.count(m->index)) return -EINVAL;
        std::snprintf(reinterpret_cast<char*>(m->name), sizeof m->name, "item %u", m->index);
        return 0;
    }
    static int g_ctrl(State& s, v4l2_control* c) {
        auto it = s.node.controls.find(c->id);
        if (it == s.node.controls.end() || (it->second.query.flags & V4L2_CTRL_FLAG_DISABLED)) return -EINVAL;
        c->value = it->second.value;
        return 0;
    }
    static int s_ctrl(State& s, v4l2_control* c) {
        auto it = s.node.controls.find(c->id);
        if (it == s.node.controls.end() || (it->second.query.flags & V4L2_CTRL_FLAG_DISABLED)) return -EINVAL;
        Control& ctl = it->second;
        if (c->value < ctl.query.minimum || c->value > ctl.query.maximum) return -ERANGE;
        if (ctl.query.type == V4L2_CTRL_TYPE_MENU && !ctl.menu.count(std::uint32_t(c->value))) return -EINVAL;
        ctl.value = c->value;
        s.writes.emplace_back(c->id, c->value);
        return 0;
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::string, State> nodes_;
    std::vector<std::string> order_;
    std::map<int, std::string> fds_;
    std::map<unsigned long, std::pair<int, int>> failures_;
    int mmap_failure_ = -1;
    int next_fd_ = 100;
};

}  // namespace fake_v4l2
