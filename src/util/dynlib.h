#pragma once
// A shared library the program loads at its first use instead of linking it: opened by soname,
// its functions resolved into a table, one message that names the library when it is missing.
// Linking such a library would load it, and everything it pulls in, into every start of the
// program, also into those that never call it.
//
// A loader lists its functions once, as X(library index, name), and declares its table with
// VX_DYNLIB_TABLE: each member is typed as the library's own header declares the function, so a
// signature that does not match does not compile. It then holds the loaded table in a
// function-local static, which C++ initialises once, on the first call, from any thread:
//
//     #define MYLIB_FUNCTIONS(X) X(0, mylib_open) X(0, mylib_close)
//     VX_DYNLIB_TABLE(MyLibApi, MYLIB_FUNCTIONS)
//     const MyLibApi& mylib() {
//         static const MyLibApi api = util::LoadOrAbort<MyLibApi>("MyLib", {"libmylib.so.1"});
//         return api;
//     }
//
// Thread contract: DynLib and the tables are plain values, used by one thread while they are
// made; a loaded table is read-only and shared by every thread. RedirectLibraryForTest may be
// called from any thread, before the library is loaded.

#include <initializer_list>
#include <string>
#include <vector>

namespace velorixa::util {

class DynLib {
  public:
    // Opens the libraries in the order given (a library before those that depend on it); `what`
    // names them in the message ("FFmpeg" for its four libraries).
    DynLib(const char* what, std::initializer_list<const char*> sonames);
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;

    // Stores the function `name` of library `index` into `slot`; a function it does not have
    // makes the load fail with its name.
    template <class F>
    void resolve(int index, const char* name, F*& slot) {
        slot = reinterpret_cast<F*>(symbol(index, name));
    }

    bool ok() const { return error_.empty(); }
    // "cannot load FFmpeg: libavcodec.so.59: cannot open shared object file: ...", empty if
    // everything was found.
    const std::string& error() const { return error_; }

  private:
    void* symbol(int index, const char* name);
    void fail(const std::string& why);

    std::string what_;
    std::vector<void*> handles_;
    std::string error_;
};

// A table of the functions of a library and whether they could be loaded.
template <class Table>
struct Loaded {
    Table api;          // every member null when error is set
    std::string error;  // as DynLib::error()

    bool ok() const { return error.empty(); }
};

// Loads the libraries and resolves every function of Table. The libraries stay loaded for the
// rest of the process, also when a function was missing: the libraries this is for keep static
// state, and unloading them is never safe once one of their functions was called.
template <class Table>
Loaded<Table> Load(const char* what, std::initializer_list<const char*> sonames) {
    Loaded<Table> loaded;
    DynLib lib(what, sonames);
    if (lib.ok()) loaded.api.resolveFrom(lib);
    if (!lib.ok()) {
        loaded.api = Table{};
        loaded.error = lib.error();
    }
    return loaded;
}

// Prints the message and ends the program. For a library the program cannot do without, as a
// missing library of a direct link would be (that one stopped the program at its start).
[[noreturn]] void AbortOnMissingLibrary(const std::string& error);

template <class Table>
Table LoadOrAbort(const char* what, std::initializer_list<const char*> sonames) {
    Loaded<Table> loaded = Load<Table>(what, sonames);
    if (!loaded.ok()) AbortOnMissingLibrary(loaded.error);
    return loaded.api;
}

// Makes later loads of `soname` open `replacement` instead (a name that does not exist: the
// library is missing). For tests of a missing library, in a process of their own: a library
// already loaded stays loaded.
void RedirectLibraryForTest(const std::string& soname, const std::string& replacement);

}  // namespace velorixa::util

#define VX_DYNLIB_MEMBER_(index, name) decltype(&::name) name = nullptr;
#define VX_DYNLIB_RESOLVE_(index, name) lib.resolve(index, #name, name);
// struct Name: a member for each X(index, name) of LIST, and how to fill them from a DynLib.
#define VX_DYNLIB_TABLE(Name, LIST)                                        \
    struct Name {                                                          \
        LIST(VX_DYNLIB_MEMBER_)                                            \
        void resolveFrom([[maybe_unused]] ::velorixa::util::DynLib& lib) { \
            LIST(VX_DYNLIB_RESOLVE_)                                       \
        }                                                                  \
    };
