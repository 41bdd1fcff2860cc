// Lock annotations for Clang's thread-safety analysis (-Wthread-safety).
//
// A type marked CAPABILITY is a lock; a member marked GUARDED_BY(lock) may be
// read or written only while that lock is held, which the compiler checks.
// A function marked REQUIRES(lock) is called with the lock held, ACQUIRE and
// RELEASE take and give it back, EXCLUDES says the caller must not hold it
// (the function takes it). Other compilers see empty macros. Use
// NO_THREAD_SAFETY_ANALYSIS only on a small function whose locking the
// annotations cannot express, with a comment saying why.
#pragma once

#if defined(__clang__)
#define SB_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define SB_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) SB_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY SB_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) SB_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) SB_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) SB_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) SB_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) SB_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) SB_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) SB_THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) SB_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS SB_THREAD_ANNOTATION(no_thread_safety_analysis)
