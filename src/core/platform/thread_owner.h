#pragma once
// The thread an object belongs to. An object that may be used from one thread only (the
// console's event state lives on the main thread) keeps a ThreadOwner, built with it, and
// calls assertOwner() in its accessors: a debug build stops at the first use from any
// other thread; a release build checks nothing.
//
// Thread: isOwner and assertOwner may be called from any thread.
#include <cassert>
#include <thread>

namespace velmaro {

class ThreadOwner {
public:
    // The calling thread becomes the owner.
    ThreadOwner() : owner_(std::this_thread::get_id()) {}

    bool isOwner() const { return std::this_thread::get_id() == owner_; }
    void assertOwner() const { assert(isOwner() && "used from a thread other than the one that owns it"); }

private:
    std::thread::id owner_;
};

} // namespace velmaro
