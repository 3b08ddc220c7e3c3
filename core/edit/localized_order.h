#pragma once

#include <unicode/uversion.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace quillmere {

// Orders names as a user of the current locale expects, ignoring letter case but not accents.
// Names the collator finds equal ("film" and "Film") keep their order in a stable sort.
class LocalizedCaseInsensitiveOrder {
  public:
    // Throws Error when ICU cannot make a collator (its data are missing).
    LocalizedCaseInsensitiveOrder();
    ~LocalizedCaseInsensitiveOrder();
    LocalizedCaseInsensitiveOrder(const LocalizedCaseInsensitiveOrder&) = delete;
    LocalizedCaseInsensitiveOrder& operator=(const LocalizedCaseInsensitiveOrder&) = delete;

    // True when `a` sorts strictly before `b`. Both are UTF-8; ill-formed bytes compare as U+FFFD.
    bool operator()(std::string_view a, std::string_view b) const;

    // Sorts `items` stably by the name each one gives through `nameOf`.
    template <class T, class NameOf>
    void sortStably(std::vector<T>& items, NameOf nameOf) const {
        std::stable_sort(items.begin(), items.end(),
                         [&](const T& a, const T& b) { return (*this)(nameOf(a), nameOf(b)); });
    }

  private:
    std::unique_ptr<icu::Collator> collator_;
};

}  // namespace quillmere
