/* A preload library for end-to-end tests: it stands in for the calls that
 * set or steer the system clock, writes one line per call to the file named
 * by ORVIK_CLOCK_LOG and reports success without touching the clock, so the
 * program under test believes it set the time and the test can read what it
 * would have set.
 *
 * Lines (the date and time are the local time the value means, in the
 * process's time zone; <real_sec> <real_nsec> is CLOCK_REALTIME read at the
 * start of the call, so a reader can tell how far the value is from the
 * real time; it comes last so that readers of the older fields keep working):
 *   clock_settime:    "<clockid> <tv_sec> <tv_nsec> YYYY-MM-DD HH:MM:SS <real_sec> <real_nsec>"
 *   settimeofday:     "settimeofday <tv_sec> <tv_usec> YYYY-MM-DD HH:MM:SS <real_sec> <real_nsec>"
 *   adjtime:          "adjtime <delta_sec> <delta_usec>"
 *   adjtimex and kin: "<function> <clockid> modes=0x<modes>"
 * A clock-adjusting call that only reads (modes 0) is passed on to the real
 * function, which changes nothing and fills in the caller's record.
 *
 * Any thread may call these; each line is appended with one write().
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <sys/timex.h>
#include <time.h>
#include <unistd.h>

static void AppendLine(const char* line, int length) {
  const char* path = getenv("ORVIK_CLOCK_LOG");
  if (path == NULL || path[0] == '\0' || length <= 0) return;
  const int saved_errno = errno;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    (void)!write(fd, line, (size_t)length);
    close(fd);
  }
  errno = saved_errno;
}

/* The real time now; nothing here sets the clock, so this is the time the
 * caller would have replaced. */
static struct timespec RealNow(void) {
  struct timespec now = {0, 0};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

/* Writes "YYYY-MM-DD HH:MM:SS" for `seconds` in local time into `text`. */
static void LocalText(time_t seconds, char* text, size_t size) {
  struct tm local;
  if (localtime_r(&seconds, &local) == NULL ||
      strftime(text, size, "%Y-%m-%d %H:%M:%S", &local) == 0) {
    snprintf(text, size, "?");
  }
}

/* The system header declares `value` non-null, yet the real call answers a
 * null pointer with EFAULT; so does this one. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnonnull-compare"
int clock_settime(clockid_t clock_id, const struct timespec* value) {
  const struct timespec real = RealNow();
  if (value == NULL) {
    errno = EFAULT;
    return -1;
  }
  char when[64];
  LocalText(value->tv_sec, when, sizeof when);
  char line[200];
  const int length = snprintf(line, sizeof line, "%d %lld %ld %s %lld %ld\n", (int)clock_id,
                              (long long)value->tv_sec, (long)value->tv_nsec, when,
                              (long long)real.tv_sec, (long)real.tv_nsec);
  AppendLine(line, length);
  return 0;
}
#pragma GCC diagnostic pop

int settimeofday(const struct timeval* value, const struct timezone* zone) {
  const struct timespec real = RealNow();
  (void)zone;
  if (value == NULL) return 0; /* only a zone: nothing the clock would feel */
  char when[64];
  LocalText(value->tv_sec, when, sizeof when);
  char line[200];
  const int length = snprintf(line, sizeof line, "settimeofday %lld %ld %s %lld %ld\n",
                              (long long)value->tv_sec, (long)value->tv_usec, when,
                              (long long)real.tv_sec, (long)real.tv_nsec);
  AppendLine(line, length);
  return 0;
}

int adjtime(const struct timeval* delta, struct timeval* old_delta) {
  if (old_delta != NULL) memset(old_delta, 0, sizeof *old_delta);
  if (delta == NULL) return 0; /* a question only: no slew is pending */
  char line[128];
  const int length = snprintf(line, sizeof line, "adjtime %lld %ld\n", (long long)delta->tv_sec,
                              (long)delta->tv_usec);
  AppendLine(line, length);
  return 0;
}

typedef int (*AdjustFunction)(struct timex*);
typedef int (*ClockAdjustFunction)(clockid_t, struct timex*);

/* Records a steering call; returns 1 when it only reads and must go on. */
static int RecordAdjustment(const char* function, int clock_id, const struct timex* request) {
  if (request != NULL && request->modes == 0) return 1;
  char line[128];
  const int length = snprintf(line, sizeof line, "%s %d modes=0x%x\n", function, clock_id,
                              request != NULL ? request->modes : 0u);
  AppendLine(line, length);
  return 0;
}

/* The next definition of `name` after this library, as a function pointer
 * (copied, since ISO C has no cast from an object pointer to a function). */
static void* NextSymbol(const char* name, void* function_pointer, size_t size) {
  void* symbol = dlsym(RTLD_NEXT, name);
  memcpy(function_pointer, &symbol, size);
  return symbol;
}

static int PassOn(const char* name, struct timex* request) {
  AdjustFunction real = NULL;
  if (NextSymbol(name, &real, sizeof real) == NULL) {
    errno = ENOSYS;
    return -1;
  }
  return real(request);
}

int adjtimex(struct timex* request) {
  if (RecordAdjustment("adjtimex", CLOCK_REALTIME, request)) return PassOn("adjtimex", request);
  return TIME_OK;
}

int ntp_adjtime(struct timex* request) {
  if (RecordAdjustment("ntp_adjtime", CLOCK_REALTIME, request)) {
    return PassOn("ntp_adjtime", request);
  }
  return TIME_OK;
}

int clock_adjtime(clockid_t clock_id, struct timex* request) {
  if (RecordAdjustment("clock_adjtime", (int)clock_id, request)) {
    ClockAdjustFunction real = NULL;
    if (NextSymbol("clock_adjtime", &real, sizeof real) == NULL) {
      errno = ENOSYS;
      return -1;
    }
    return real(clock_id, request);
  }
  return TIME_OK;
}
