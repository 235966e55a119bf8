#pragma once
// Registry problems (one collection per section and the combined list) and
// the repair log.
//
// A scan may hold hundreds of thousands of problems, so a problem keeps its
// texts lean: a text that only repeats fields of the problem around fixed
// words is a TTextForm, formed when it is read; any other text is one heap
// block of its own. "All Problems" shares the section items.

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "common/Collection.h"

struct TRegistryContent;

// The fields a text form can name.
enum class TProblemField : std::uint8_t {
  None,
  KeyPath,
  ValueName,
  NamedValue,  // ValueName, empty for the unnamed value
  Value,
};

// A text made of fixed words and up to two fields of its problem. Forms are
// static objects; a text refers to them, never copies them.
struct TTextForm {
  const char* before = "";
  TProblemField first = TProblemField::None;
  const char* between = "";
  TProblemField second = TProblemField::None;
  const char* after = "";
};

// A text in one word: empty, a form, or a text of its own.
class TProblemText {
 public:
  TProblemText() = default;
  TProblemText(const TTextForm& form) noexcept : bits_(reinterpret_cast<std::uintptr_t>(&form) | kFormBit) {}
  TProblemText(TTextForm&&) = delete;  // forms are static
  TProblemText(std::string_view text) : bits_(Own(text)) {}
  TProblemText(const std::string& text) : TProblemText(std::string_view(text)) {}
  TProblemText(const char* text) : TProblemText(std::string_view(text)) {}
  TProblemText(const TProblemText& other) : bits_(other.Form() ? other.bits_ : Own(other.OwnText())) {}
  TProblemText(TProblemText&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
  TProblemText& operator=(TProblemText other) noexcept {
    std::swap(bits_, other.bits_);
    return *this;
  }
  ~TProblemText() {
    if (bits_ != 0 && !Form()) ::operator delete(reinterpret_cast<void*>(bits_));
  }

  // The form, or null for a text of its own.
  const TTextForm* Form() const {
    return (bits_ & kFormBit) ? reinterpret_cast<const TTextForm*>(bits_ & ~kFormBit) : nullptr;
  }
  // A text of its own (empty for a form).
  std::string_view OwnText() const {
    if (bits_ == 0 || Form()) return {};
    const auto* block = reinterpret_cast<const char*>(bits_);
    std::uint32_t size = 0;
    std::memcpy(&size, block, sizeof size);
    return {block + sizeof size, size};
  }
  // The text, a form's fields taken from `owner` (empty without one).
  inline std::string Text(const TRegistryContent* owner) const;

  bool empty() const { return bits_ == 0; }  // own texts are never empty
  void clear() { *this = TProblemText(); }
  std::string str() const { return Text(nullptr); }
  operator std::string() const { return str(); }
  friend bool operator==(const TProblemText& a, std::string_view b) { return a.str() == b; }
  friend std::string operator+(std::string a, const TProblemText& b) { return a += b.str(); }
  friend std::string operator+(const TProblemText& a, std::string_view b) { return a.str().append(b); }
  friend std::ostream& operator<<(std::ostream& out, const TProblemText& text) { return out << text.str(); }

 private:
  static constexpr std::uintptr_t kFormBit = 1;  // forms are aligned, so the bit is free
  static_assert(alignof(TTextForm) > kFormBit);
  static std::uintptr_t Own(std::string_view text) {
    if (text.empty()) return 0;
    const auto size = static_cast<std::uint32_t>(text.size());
    auto* block = static_cast<char*>(::operator new(sizeof size + text.size()));
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, text.data(), text.size());
    return reinterpret_cast<std::uintptr_t>(block);
  }
  std::uintptr_t bits_ = 0;
};

// A text of a problem whose form names the problem's own fields. It stays
// bound to the problem it belongs to: copying a problem copies the texts and
// binds them to the copy. A text copied on its own holds the formed text.
class TFormedText {
 public:
  explicit TFormedText(const TRegistryContent* owner) : owner_(owner) {}
  TFormedText(const TFormedText& other) : owner_(nullptr), text_(other.str()) {}
  TFormedText& operator=(const TFormedText& other) {
    text_ = other.text_;
    return *this;
  }
  TFormedText& operator=(TFormedText&& other) noexcept {
    text_ = std::move(other.text_);
    return *this;
  }
  TFormedText& operator=(TProblemText text) noexcept {
    text_ = std::move(text);
    return *this;
  }
  TFormedText& operator=(const std::string& text) { return *this = TProblemText(text); }
  TFormedText& operator=(const char* text) { return *this = TProblemText(text); }

  std::string str() const { return text_.Text(owner_); }
  operator std::string() const { return str(); }
  bool empty() const { return str().empty(); }
  friend bool operator==(const TFormedText& a, std::string_view b) { return a.str() == b; }
  friend bool operator==(const TFormedText& a, const TFormedText& b) { return a.str() == b.str(); }
  friend std::string operator+(std::string a, const TFormedText& b) { return a += b.str(); }
  friend std::string operator+(const TFormedText& a, std::string_view b) { return a.str().append(b); }
  friend std::ostream& operator<<(std::ostream& out, const TFormedText& text) { return out << text.str(); }

 private:
  const TRegistryContent* owner_;
  TProblemText text_;
};

struct TRegistryContent {
  TRegistryContent() = default;
  TRegistryContent(const TRegistryContent& other) { *this = other; }
  TRegistryContent(TRegistryContent&& other) noexcept { *this = std::move(other); }
  TRegistryContent& operator=(const TRegistryContent&) = default;
  TRegistryContent& operator=(TRegistryContent&&) noexcept = default;

  bool Checked = false;
  bool Flag = false;
  // The problem is about the key's unnamed value (ValueName then reads
  // "default"); keeps it apart from a real value named "default".
  bool UnnamedValue = false;
  std::int32_t Index = 0;
  TProblemText SectionName;
  std::string KeyPath;
  TFormedText KeyName{this};
  std::string ValueName;
  std::string Value;
  TProblemText Data1;
  TProblemText Data2;
  TFormedText KeyPathText{this};
  TFormedText ValueNameText{this};
  TFormedText ValueText{this};
  TFormedText DetailText{this};
  TProblemText Severity;
  TFormedText Description{this};
  TFormedText ProblemType{this};
};

inline std::string TProblemText::Text(const TRegistryContent* owner) const {
  const TTextForm* form = Form();
  if (!form) return std::string(OwnText());
  const auto field = [owner](TProblemField which) -> std::string_view {
    if (!owner) return {};
    switch (which) {
      case TProblemField::None: return {};
      case TProblemField::KeyPath: return owner->KeyPath;
      case TProblemField::ValueName: return owner->ValueName;
      case TProblemField::NamedValue: return owner->UnnamedValue ? std::string_view() : owner->ValueName;
      case TProblemField::Value: return owner->Value;
    }
    return {};
  };
  const std::string_view first = field(form->first);
  const std::string_view second = field(form->second);
  std::string text;
  text.reserve(std::strlen(form->before) + first.size() + std::strlen(form->between) + second.size() +
               std::strlen(form->after));
  text.append(form->before).append(first).append(form->between).append(second).append(form->after);
  return text;
}

class TRegistryContentItem {
 public:
  TRegistryContent Content;
};

// Items are shared, so that "All Problems" holds the sections' own items.
class TRegistryContents : public TContents<TRegistryContentItem, std::shared_ptr<TRegistryContentItem>> {};

struct TRepairRec {
  std::string KeyPath;
  std::string Result;
};

class TRepairContentItem {
 public:
  TRepairRec Content;
};

class TRepairContents : public TContents<TRepairContentItem> {};
