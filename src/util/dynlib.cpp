#include "util/dynlib.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace velorixa::util {

namespace {

struct Redirects {
    std::mutex mutex;
    std::map<std::string, std::string> to;
};

Redirects& redirects() {
    static Redirects r;
    return r;
}

std::string redirected(const char* soname) {
    Redirects& r = redirects();
    std::lock_guard<std::mutex> g(r.mutex);
    const auto it = r.to.find(soname);
    return it == r.to.end() ? std::string(soname) : it->second;
}

}  // namespace

DynLib::DynLib(const char* what, std::initializer_list<const char*> sonames) : what_(what) {
    for (const char* soname : sonames) {
        // RTLD_NOW: a broken library fails here, at the first use, rather than at some later
        // call on the audio or decode thread. RTLD_LOCAL: its symbols stay out of the lookup of
        // every other library, as they would be out of it if it were not loaded at all.
        void* handle = ::dlopen(redirected(soname).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            fail(why ? why : soname);
            return;
        }
        handles_.push_back(handle);
    }
}

void* DynLib::symbol(int index, const char* name) {
    if (!ok()) return nullptr;
    if (index < 0 || index >= static_cast<int>(handles_.size())) {
        fail(std::string("no library for ") + name);
        return nullptr;
    }
    void* f = ::dlsym(handles_[static_cast<size_t>(index)], name);
    if (!f) fail(name);
    return f;
}

void DynLib::fail(const std::string& why) {
    if (ok()) error_ = "cannot load " + what_ + ": " + why;
}

void AbortOnMissingLibrary(const std::string& error) {
    std::fprintf(stderr, "velorixa: %s\n", error.c_str());
    std::abort();
}

void RedirectLibraryForTest(const std::string& soname, const std::string& replacement) {
    Redirects& r = redirects();
    std::lock_guard<std::mutex> g(r.mutex);
    r.to[soname] = replacement;
}

}  // namespace velorixa::util
