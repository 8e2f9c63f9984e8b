// Gives back, when the plug-in file is unloaded, what the C++ runtime linked into it took
// when it was loaded.
//
// The runtime reserves an emergency pool for exceptions thrown when the heap is exhausted
// (71 KB on 64-bit targets) as the file is loaded, and GCC's runtime never frees it by
// itself: every load and unload of the file would leave that much heap behind in the
// host. __gnu_cxx::__freeres() frees it. This copy of the runtime is private to the file,
// so the pool freed is ours, never the host's; the file is built with this unit only
// where the runtime is linked in statically.
//
// The pool must be freed by the very last code of the file that runs: after that, an
// exception thrown with the heap exhausted would be built in freed memory.

namespace __gnu_cxx {
void __freeres();  // defined in the runtime (memory checkers call it at exit)
}

namespace {

#if defined(_WIN32)

// A DLL's C runtime destroys static objects in the reverse order of their construction
// and runs its destructor functions before it destroys the objects built while the file
// was loaded. This object is built before every other static object of the file (the
// runtime's own included), so its destructor is the last code of the file to run.
struct ExceptionPoolRelease {
    ~ExceptionPoolRelease() { __gnu_cxx::__freeres(); }
};
__attribute__((init_priority(101))) ExceptionPoolRelease exceptionPoolRelease;

#else

// At unload (and at exit) the loader runs the file's destructor functions and the
// destructors of its static objects, and the destructor function of priority 101 after
// all of them.
__attribute__((destructor(101))) void releaseExceptionPool()
{
    __gnu_cxx::__freeres();
}

#endif

}  // namespace
