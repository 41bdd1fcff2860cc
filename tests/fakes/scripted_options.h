// A scripted option table standing in for an open scanner's options: any
// descriptors a test lists, with values kept per index. It behaves like a
// driver where the back ends could go wrong: a get fills the option's whole
// size (every word of an array option), a set of a word option takes its
// whole size, and a set string is copied up to its NUL as a driver's strcpy
// would, so a value that does not fit its option is recorded as an overflow
// (and stored cut to the option's size instead of corrupting memory).
//
// Thread rule: one test thread. Titles and constraints are not copied; they
// must outlive the table.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/driver/option_source.h"

namespace fakes {

SANE_Option_Descriptor MakeOption(const char* title, SANE_Value_Type type,
                                  SANE_Constraint_Type constraint = SANE_CONSTRAINT_NONE,
                                  const void* data = nullptr, SANE_Int size = 4);

class ScriptedOptions : public OptionSource {
  public:
    // A table holding only option 0, the count.
    ScriptedOptions();

    // Appends an option; its index.
    SANE_Int Add(const SANE_Option_Descriptor& descriptor);

    const SANE_Option_Descriptor* Descriptor(SANE_Int index) override;
    SANE_Status Control(SANE_Int index, SANE_Action action, void* value) override;

    // The value of a word option (every word of it for an array option);
    // unset words are 0.
    std::vector<SANE_Word> Words(SANE_Int index) const;
    void SetWords(SANE_Int index, std::vector<SANE_Word> words) { words_[index] = words; }
    // A single-word option's value.
    SANE_Word Word(SANE_Int index) const { return Words(index).front(); }
    void SetWord(SANE_Int index, SANE_Word word);

    std::vector<SANE_Option_Descriptor> table_;
    std::map<SANE_Int, std::string> strings_;
    std::set<SANE_Int> refused_;  // indexes whose set fails
    int presses_ = 0;             // button presses accepted
    int sets_ = 0;                // value sets accepted
    bool overflowed_ = false;     // a string was set that does not fit its option

  private:
    size_t WordCount(SANE_Int index) const;

    std::map<SANE_Int, std::vector<SANE_Word>> words_;
};

}  // namespace fakes
