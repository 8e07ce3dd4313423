// Objects a thread borrows for one entry and gives back for the next thread
// that asks: buffers and decompressors kept between entries without
// thread_local. MinGW frees a thread's thread_local storage before it runs
// the destructors of what is kept there, so on Windows an object with a
// destructor kept that way is destroyed in freed memory when its thread ends.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace pkzip {

template <typename T>
class Reusable {
  public:
    class Lease {
      public:
        explicit Lease(Reusable& from) : from_(from), item_(from.Take()) {}
        ~Lease() { from_.Give(std::move(item_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        T& operator*() const { return *item_; }
        T* operator->() const { return item_.get(); }

      private:
        Reusable& from_;
        std::unique_ptr<T> item_;
    };

    // How many are kept for reuse now (as many as threads once borrowed at once).
    size_t Kept() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return kept_.size();
    }

  private:
    std::unique_ptr<T> Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!kept_.empty()) {
                std::unique_ptr<T> item = std::move(kept_.back());
                kept_.pop_back();
                return item;
            }
        }
        return std::make_unique<T>();
    }
    void Give(std::unique_ptr<T> item) {
        std::lock_guard<std::mutex> lock(mutex_);
        kept_.push_back(std::move(item));
    }

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<T>> kept_;
};

}  // namespace pkzip
