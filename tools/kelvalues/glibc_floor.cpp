// What lets the shipped Linux kelvalues run on glibc 2.17 (CentOS 7), though
// it is built against a far newer one.
//
// The dynamic loader refuses a program that names a symbol version its C
// library lacks.  Built here, the program would name versions up to 2.36:
// some functions were given new versions (exp, stat, the thread and dl
// functions when libpthread and libdl moved into libc), some are newer than
// 2.17 (explicit_bzero, getentropy, arc4random, _dl_find_object, the
// __libc_single_threaded flag), and the start code calls the 2.34
// __libc_start_main.  The link renames every reference to one of them F to
// __wrap_F (-Wl,--wrap=F, the list is KELVALUES_GLIBC_FLOOR_WRAPS in
// CMakeLists.txt), defined here: each calls F's oldest x86-64 version
// (GLIBC_2.2.5, which every glibc since keeps) or does F's work with what
// glibc 2.17 has.  tools/check-loadable.sh at 2.17 checks the result.
//
// The program also names libpthread.so.0 and libdl.so.2, where glibc 2.17
// keeps the thread and dl functions; the loader finds a versioned symbol in
// whichever loaded library has it, so the same binary binds them from libc
// on a new glibc.
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// The symbols' names are glibc's and the linker's, and the loader gives
// addresses as integers.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming,performance-no-int-to-ptr)
extern "C" {

// ------------------------------------------------------------------ start
// Before 2.34 the start code passed the program's initializer to
// __libc_start_main (it ran _init and .init_array); since then it passes
// null and __libc_start_main finds them itself.  Every version still takes
// an initializer and runs it when given one, so this one is given, and the
// program's static constructors run on old and new glibc alike.
using MainFunction = int (*)(int, char**, char**);
using InitFunction = void (*)(int, char**, char**);
int old_libc_start_main(MainFunction main, int argc, char** argv, InitFunction init, void (*fini)(),
                        void (*rtldFini)(), void* stackEnd);
__asm__(".symver old_libc_start_main, __libc_start_main@GLIBC_2.2.5");

void _init();
extern InitFunction __init_array_start[] __attribute__((visibility("hidden")));
extern InitFunction __init_array_end[] __attribute__((visibility("hidden")));

static void RunInitializers(int argc, char** argv, char** environment) {
  _init();
  for (InitFunction* f = __init_array_start; f != __init_array_end; ++f)
    (*f)(argc, argv, environment);
}

int __wrap___libc_start_main(MainFunction main, int argc, char** argv, InitFunction init,
                             void (*fini)(), void (*rtldFini)(), void* stackEnd) {
  return old_libc_start_main(main, argc, argv, init != nullptr ? init : RunInitializers, fini,
                             rtldFini, stackEnd);
}

// ------------------------------------------------------ renamed versions
// Functions whose GLIBC_2.2.5 version does the same work.
#define KEL_OLD_VERSION(result, name, parameters, arguments) \
  result old_##name parameters;                              \
  __asm__(".symver old_" #name ", " #name "@GLIBC_2.2.5");   \
  result __wrap_##name parameters { return old_##name arguments; }

KEL_OLD_VERSION(double, exp, (double x), (x))
KEL_OLD_VERSION(double, exp2, (double x), (x))
KEL_OLD_VERSION(void*, dlopen, (const char* file, int mode), (file, mode))
KEL_OLD_VERSION(void*, dlsym, (void* handle, const char* name), (handle, name))
KEL_OLD_VERSION(int, dlclose, (void* handle), (handle))
KEL_OLD_VERSION(char*, dlerror, (), ())
KEL_OLD_VERSION(int, pthread_once, (pthread_once_t * once, void (*run)()), (once, run))
KEL_OLD_VERSION(int, pthread_key_create, (pthread_key_t * key, void (*destroy)(void*)),
                (key, destroy))
KEL_OLD_VERSION(int, __pthread_key_create, (pthread_key_t * key, void (*destroy)(void*)),
                (key, destroy))
KEL_OLD_VERSION(int, pthread_key_delete, (pthread_key_t key), (key))
KEL_OLD_VERSION(void*, pthread_getspecific, (pthread_key_t key), (key))
KEL_OLD_VERSION(int, pthread_setspecific, (pthread_key_t key, const void* value), (key, value))
KEL_OLD_VERSION(int, pthread_rwlock_rdlock, (pthread_rwlock_t * lock), (lock))
KEL_OLD_VERSION(int, pthread_rwlock_wrlock, (pthread_rwlock_t * lock), (lock))
KEL_OLD_VERSION(int, pthread_rwlock_unlock, (pthread_rwlock_t * lock), (lock))
#undef KEL_OLD_VERSION

// stat and its kin became functions of their own in 2.33; before, the
// header called __xstat and its kin with the layout's version number, 1 on
// x86-64 (_STAT_VER_LINUX).
constexpr int kStatVersion = 1;
int old_xstat(int version, const char* path, struct stat* info);
int old_lxstat(int version, const char* path, struct stat* info);
int old_fxstat(int version, int fd, struct stat* info);
__asm__(".symver old_xstat, __xstat@GLIBC_2.2.5");
__asm__(".symver old_lxstat, __lxstat@GLIBC_2.2.5");
__asm__(".symver old_fxstat, __fxstat@GLIBC_2.2.5");
int __wrap_stat(const char* path, struct stat* info) { return old_xstat(kStatVersion, path, info); }
int __wrap_lstat(const char* path, struct stat* info) {
  return old_lxstat(kStatVersion, path, info);
}
int __wrap_fstat(int fd, struct stat* info) { return old_fxstat(kStatVersion, fd, info); }
// On x86-64 struct stat64 is struct stat.
int __wrap_fstat64(int fd, struct stat* info) { return old_fxstat(kStatVersion, fd, info); }

// ------------------------------------------------------- newer than 2.17
// The password buffer is cleared with this; the compiler must not drop the
// stores as dead, so the memory is said to be read afterwards.
void __wrap_explicit_bzero(void* data, std::size_t size) {
  std::memset(data, 0, size);
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

// The C++ runtime reads this to skip atomic operations in a program known
// to have one thread; 0 says "not known", which is always correct.
char __wrap___libc_single_threaded = 0;

// std::random_device's sources (linked with the C++ runtime, not used by
// kelvalues): bytes from the kernel's random device.
static bool ReadRandom(void* data, std::size_t size) {
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  auto* bytes = static_cast<unsigned char*>(data);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, bytes + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  (void)close(fd);
  return got == size;
}

int __wrap_getentropy(void* data, std::size_t size) {
  constexpr std::size_t kMostBytes = 256;
  if (size > kMostBytes) {
    errno = EIO;
    return -1;
  }
  if (!ReadRandom(data, size)) {
    errno = EIO;
    return -1;
  }
  return 0;
}

uint32_t __wrap_arc4random() {
  uint32_t value = 0;
  if (!ReadRandom(&value, sizeof value)) std::abort();  // as arc4random, which cannot fail
  return value;
}

// The unwinder (linked in with the GCC runtime) finds the unwind tables of
// the code an exception passes through with _dl_find_object, new in 2.35,
// and has no other way once built for it.  dl_iterate_phdr, which it used
// before, gives the same: the loaded object whose segments hold the
// address, and its PT_GNU_EH_FRAME.
struct FindObjectSearch {
  uintptr_t address;
  dl_find_object* result;
  bool found;
};

static int MatchObject(dl_phdr_info* info, std::size_t /*size*/, void* data) {
  auto* search = static_cast<FindObjectSearch*>(data);
  uintptr_t start = UINTPTR_MAX;
  uintptr_t end = 0;
  bool holds = false;
  const void* frame = nullptr;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    const uintptr_t from = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD) {
      const uintptr_t to = from + segment.p_memsz;
      if (search->address >= from && search->address < to) holds = true;
      if (from < start) start = from;
      if (to > end) end = to;
    } else if (segment.p_type == PT_GNU_EH_FRAME) {
      frame = reinterpret_cast<const void*>(from);
    }
  }
  if (!holds) return 0;
  std::memset(search->result, 0, sizeof *search->result);
  search->result->dlfo_map_start = reinterpret_cast<void*>(start);
  search->result->dlfo_map_end = reinterpret_cast<void*>(end);
  search->result->dlfo_eh_frame = const_cast<void*>(frame);
  search->found = true;
  return 1;
}

int __wrap__dl_find_object(void* address, dl_find_object* result) {
  FindObjectSearch search{reinterpret_cast<uintptr_t>(address), result, false};
  (void)dl_iterate_phdr(MatchObject, &search);
  return search.found ? 0 : -1;
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming,performance-no-int-to-ptr)
