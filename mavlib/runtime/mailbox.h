// The request mailbox: the window thread posts a request into one slot and
// waits, still dispatching its own messages; the user thread carries it out
// in its idle loop and marks it done.
#pragma once

#include <atomic>

namespace mav {

enum RequestCode {
    kReqCreateImage = 9001,
    kReqRefresh = 9002,
    kReqLoadImage = 9003,
    kReqDrawBitmap = 9004,
    kReqOpenText = 9005,
    kReqInputBox = 9006,
    kReqButtonBox = 9007,
};

// Result of a post the poster gave up on because the program is exiting.
inline constexpr int kRequestAbandoned = -1;
// Result of a request whose target the library does not have (yet).
inline constexpr int kRequestUnavailable = 3;

struct RequestSlot {
    // The code is stored last by the poster (release) and cleared last by the
    // server; done is set before the code is cleared.
    std::atomic<int> code{0};
    std::atomic<int> done{1};
    int index = 0;
    const char* name = nullptr;  // owned by the poster until done
    int x = 0, y = 0;
    int width = 0, height = 0;
    int zoom = 100;
    int bits = 32;
    void* bitmap = nullptr;      // ownership passes to the server
    const char* path = nullptr;  // native (UTF-8) path, owned by the poster
    int result = 0;
};

RequestSlot& request_slot();

// The user thread's side: carries out whatever the slot holds.
void serve_request();

// How a request code is carried out. Parts of the library install theirs as
// they come; a code without a handler is served as a no-op.
using RequestHandler = void (*)(RequestSlot& slot);
void set_request_handler(int code, RequestHandler handler);

// While one lives, the window thread is in the middle of handing work to the
// user thread (a post, or a run of posts that belong together).
class RequestWork {
public:
    RequestWork();
    ~RequestWork();
    RequestWork(const RequestWork&) = delete;
    RequestWork& operator=(const RequestWork&) = delete;
};

// True while a request waits in the slot or is being carried out, or a
// RequestWork lives: the program is not idle although its window thread
// sits waiting for messages.
bool requests_in_progress();

// The window thread's side, one poster per code.
int post_create_image(int index, const char* name, int width, int height, int bits);
void post_refresh(int index);
int post_load_image(int index, const char* native_path);
void post_draw_bitmap(void* bitmap);
// Brings an open text window to the front, or asks for it to be opened.
void post_open_text(int index);
void post_input_box(int count);
void post_button_box(int nx, int ny);

}  // namespace mav
