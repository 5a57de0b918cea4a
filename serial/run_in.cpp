#include "serial/run_in.h"

#include <QThread>

namespace lir2 {

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define LIR2_TSAN_ANNOTATE 1
#endif

namespace {

#ifdef LIR2_TSAN_ANNOTATE
// Qt hands a queued call over inside its own library, whose locks and reference counts the
// thread checker cannot see. Every job carries this mark across instead: released when the call
// is made and when it has run, acquired when it runs and when it is destroyed, so the checker
// sees what the handover guarantees.
char handoverMark;
#endif

class Handover {
 public:
  explicit Handover(std::function<void()> job) : job_(std::move(job)) {}
  Handover(Handover&& other) noexcept : job_(std::move(other.job_)) {
#ifdef LIR2_TSAN_ANNOTATE
    __tsan_release(&handoverMark);
#endif
  }
  // Qt may drop its last reference to a finished job on the posting thread, inside its own
  // reference count; the mark carries "the job has run" over to that destruction.
  ~Handover() {
#ifdef LIR2_TSAN_ANNOTATE
    __tsan_acquire(&handoverMark);
#endif
  }
  Handover(const Handover&) = delete;
  Handover& operator=(const Handover&) = delete;
  Handover& operator=(Handover&&) = delete;
  void operator()() {
#ifdef LIR2_TSAN_ANNOTATE
    __tsan_acquire(&handoverMark);
#endif
    job_();
#ifdef LIR2_TSAN_ANNOTATE
    __tsan_release(&handoverMark);
#endif
  }

 private:
  std::function<void()> job_;
};

}  // namespace

void runIn(QObject* context, std::function<void()> job) {
  if (context->thread() == QThread::currentThread()) {
    job();
    return;
  }
  QMetaObject::invokeMethod(context, Handover(std::move(job)), Qt::QueuedConnection);
}

void runInAndWait(QObject* context, std::function<void()> job) {
  if (context->thread() == QThread::currentThread()) {
    job();
    return;
  }
  QMetaObject::invokeMethod(context, Handover(std::move(job)), Qt::BlockingQueuedConnection);
}

}  // namespace lir2
