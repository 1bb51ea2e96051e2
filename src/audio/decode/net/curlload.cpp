// libcurl is loaded when the first station or stream address is opened, not at program start.
// With what it pulls in (OpenSSL, GnuTLS through librtmp, Kerberos, LDAP, SSH, whose
// constructors run at load and touch their pages) it held about 5 MB of a player's memory that
// plays files only and never goes near the network.
//
// The functions the stream readers call are defined here under curl's own names, with the
// declarations of curl's headers (a signature that does not match does not compile), and forward
// to the library loaded the first time one of them is called. A function the readers start to
// use must be added to the list below (the link says which is missing).
//
// Thread contract: any thread; the first call loads the library once (a function-local static),
// later calls only read the resolved table. A missing library ends the program with a message
// that names it (util/dynlib.h).

#include <curl/curl.h>

#include <cstdarg>

#include "util/dynlib.h"

namespace {

// X(library, name): every curl function the program calls.
#define VX_CURL_FUNCTIONS(X)       \
    X(0, curl_easy_cleanup)        \
    X(0, curl_easy_getinfo)        \
    X(0, curl_easy_init)           \
    X(0, curl_easy_pause)          \
    X(0, curl_easy_setopt)         \
    X(0, curl_easy_strerror)       \
    X(0, curl_free)                \
    X(0, curl_global_init)         \
    X(0, curl_multi_add_handle)    \
    X(0, curl_multi_cleanup)       \
    X(0, curl_multi_info_read)     \
    X(0, curl_multi_init)          \
    X(0, curl_multi_perform)       \
    X(0, curl_multi_poll)          \
    X(0, curl_multi_remove_handle) \
    X(0, curl_multi_strerror)      \
    X(0, curl_multi_wakeup)        \
    X(0, curl_slist_append)        \
    X(0, curl_slist_free_all)      \
    X(0, curl_url)                 \
    X(0, curl_url_cleanup)         \
    X(0, curl_url_get)             \
    X(0, curl_url_set)

VX_DYNLIB_TABLE(Api, VX_CURL_FUNCTIONS)

const Api& curl() {
    // The major version the program was compiled against (curl's soname has been 4 for its
    // whole 7.x and 8.x life). The library stays loaded for the rest of the process: curl keeps
    // global state.
    static const Api api = velorixa::util::LoadOrAbort<Api>("libcurl", {"libcurl.so.4"});
    return api;
}

}  // namespace

extern "C" {

void curl_easy_cleanup(CURL* curl) {
    ::curl().curl_easy_cleanup(curl);
}
// Every CURLINFO answer is written through a pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
    va_list ap;
    va_start(ap, info);
    void* out = va_arg(ap, void*);
    va_end(ap);
    return ::curl().curl_easy_getinfo(curl, info, out);
}
CURL* curl_easy_init(void) {
    return ::curl().curl_easy_init();
}
CURLcode curl_easy_pause(CURL* handle, int bitmask) {
    return ::curl().curl_easy_pause(handle, bitmask);
}
// The option's number tells the type of its one argument, as curl itself reads it.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
    va_list ap;
    va_start(ap, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        const long v = va_arg(ap, long);
        rc = ::curl().curl_easy_setopt(curl, option, v);
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        void* const v = va_arg(ap, void*);
        rc = ::curl().curl_easy_setopt(curl, option, v);
    } else if (option < CURLOPTTYPE_OFF_T) {
        using Function = void (*)(void);
        const Function v = va_arg(ap, Function);
        rc = ::curl().curl_easy_setopt(curl, option, v);
    } else if (option < CURLOPTTYPE_BLOB) {
        const curl_off_t v = va_arg(ap, curl_off_t);
        rc = ::curl().curl_easy_setopt(curl, option, v);
    } else {
        void* const v = va_arg(ap, void*);
        rc = ::curl().curl_easy_setopt(curl, option, v);
    }
    va_end(ap);
    return rc;
}
const char* curl_easy_strerror(CURLcode code) {
    return ::curl().curl_easy_strerror(code);
}
void curl_free(void* p) {
    ::curl().curl_free(p);
}
CURLcode curl_global_init(long flags) {
    return ::curl().curl_global_init(flags);
}
CURLMcode curl_multi_add_handle(CURLM* multi_handle, CURL* curl_handle) {
    return ::curl().curl_multi_add_handle(multi_handle, curl_handle);
}
CURLMcode curl_multi_cleanup(CURLM* multi_handle) {
    return ::curl().curl_multi_cleanup(multi_handle);
}
CURLMsg* curl_multi_info_read(CURLM* multi_handle, int* msgs_in_queue) {
    return ::curl().curl_multi_info_read(multi_handle, msgs_in_queue);
}
CURLM* curl_multi_init(void) {
    return ::curl().curl_multi_init();
}
CURLMcode curl_multi_perform(CURLM* multi_handle, int* running_handles) {
    return ::curl().curl_multi_perform(multi_handle, running_handles);
}
CURLMcode curl_multi_poll(CURLM* multi_handle, struct curl_waitfd extra_fds[],
                          unsigned int extra_nfds, int timeout_ms, int* ret) {
    return ::curl().curl_multi_poll(multi_handle, extra_fds, extra_nfds, timeout_ms, ret);
}
CURLMcode curl_multi_remove_handle(CURLM* multi_handle, CURL* curl_handle) {
    return ::curl().curl_multi_remove_handle(multi_handle, curl_handle);
}
const char* curl_multi_strerror(CURLMcode code) {
    return ::curl().curl_multi_strerror(code);
}
CURLMcode curl_multi_wakeup(CURLM* multi_handle) {
    return ::curl().curl_multi_wakeup(multi_handle);
}
struct curl_slist* curl_slist_append(struct curl_slist* list, const char* data) {
    return ::curl().curl_slist_append(list, data);
}
void curl_slist_free_all(struct curl_slist* list) {
    ::curl().curl_slist_free_all(list);
}
CURLU* curl_url(void) {
    return ::curl().curl_url();
}
void curl_url_cleanup(CURLU* handle) {
    ::curl().curl_url_cleanup(handle);
}
CURLUcode curl_url_get(CURLU* handle, CURLUPart what, char** part, unsigned int flags) {
    return ::curl().curl_url_get(handle, what, part, flags);
}
CURLUcode curl_url_set(CURLU* handle, CURLUPart what, const char* part, unsigned int flags) {
    return ::curl().curl_url_set(handle, what, part, flags);
}

}  // extern "C"
