// CEdictorDoc - the rule set Edictor shows: the four shared lists (protocols, addresses,
// applications, rules), joined and loaded once per process. The records live in the rule
// store; every change is stored as it is made, so there is nothing to open from a file or
// to save.
#pragma once
#include <memory>
#include <string>

#include "list_set.h"
#include "rule_view.h"

namespace edictor {

class CEdictorDoc {
 public:
  // Creates or joins the four lists, in this order, and loads each from the registry
  // (a list filled before keeps what it has). Later calls do nothing.
  void Open();
  // Forgets the lists; this process's views of them last as long as the document, since
  // windows made from it may still read them, and the store keeps the lists for every other
  // program.
  void Close();
  bool isOpen() const { return open_; }
  const Lists& lists() const { return lists_; }

  // The main resource's window title and document type name.
  std::string Title() const;
  std::string TypeName() const;

 private:
  std::unique_ptr<tessary::ListSet> set_;
  Lists lists_;
  bool open_ = false;
};

}  // namespace edictor
