#pragma once
// The one owner of secrets (the code, the request body, the grant): every buffer it lets go of is
// wiped first. Its heap blocks are wiped before they are freed, which covers destruction and every
// reallocation; its in-object storage, which holds a short secret and is never freed, is wiped
// when the owner is destroyed or cleared.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "app/text.h"

namespace vaq {

template <typename Char>
struct WipingAllocator {
  using value_type = Char;

  WipingAllocator() = default;
  template <typename Other>
  WipingAllocator(const WipingAllocator<Other>&) noexcept {}

  Char* allocate(size_t count) { return std::allocator<Char>().allocate(count); }
  void deallocate(Char* block, size_t count) noexcept {
    SecureWipe(block, count * sizeof(Char));
    std::allocator<Char>().deallocate(block, count);
  }

  template <typename Other>
  bool operator==(const WipingAllocator<Other>&) const noexcept { return true; }
  template <typename Other>
  bool operator!=(const WipingAllocator<Other>&) const noexcept { return false; }
};

template <typename Char>
using WipedString = std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>>;

template <typename Char>
class Secret {
 public:
  using View = std::basic_string_view<Char>;

  Secret() = default;
  explicit Secret(View text) : text_(text.data(), text.size()) {}
  Secret(const Secret& other) : text_(other.text_) {}
  Secret(Secret&& other) noexcept : text_(std::move(other.text_)) { other.clear(); }
  Secret& operator=(const Secret& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  Secret& operator=(View text) {
    assign(text);
    return *this;
  }
  // No swap: swapping two short strings goes through a copy on the stack.
  Secret& operator=(Secret&& other) noexcept {
    if (this != &other) {
      clear();
      text_ = std::move(other.text_);
      other.clear();
    }
    return *this;
  }
  ~Secret() { clear(); }

  View view() const noexcept { return {text_.data(), text_.size()}; }
  operator View() const noexcept { return view(); }
  const Char* data() const noexcept { return text_.data(); }
  size_t size() const noexcept { return text_.size(); }
  bool empty() const noexcept { return text_.empty(); }
  Char operator[](size_t index) const noexcept { return text_[index]; }

  void reserve(size_t count) { text_.reserve(count); }
  Secret& append(View text) {
    text_.append(text.data(), text.size());
    return *this;
  }
  void push_back(Char c) { text_.push_back(c); }
  // Safe when text is a view of this owner's own units.
  void assign(View text) { *this = Secret(text); }
  // Room for count units more at the end, for a reader to fill; resize() then keeps what it wrote.
  Char* grow(size_t count) {
    const size_t size = text_.size();
    text_.resize(size + count);
    return text_.data() + size;
  }
  void resize(size_t count) { text_.resize(count); }

  // Wipes every unit the owner holds, up to its capacity, and leaves it empty.
  void clear() noexcept {
    text_.resize(text_.capacity());  // never reallocates
    SecureWipe(text_.data(), text_.size() * sizeof(Char));
    text_.clear();
  }

  friend bool operator==(const Secret& a, View b) noexcept { return a.view() == b; }

 private:
  WipedString<Char> text_;
};

using SecretBytes = Secret<char>;
using SecretText = Secret<char16_t>;

}  // namespace vaq
