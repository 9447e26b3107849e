#include "edictor_doc.h"

#include "edictor_ids.h"
#include "window.h"

namespace edictor {

void CEdictorDoc::Open() {
  if (open_) return;
  open_ = true;
  set_ = std::make_unique<tessary::ListSet>();
  set_->load_from_registry();
  lists_ = Lists{set_->protocols, set_->addresses, set_->apps, set_->rules};
}

void CEdictorDoc::Close() {
  lists_ = Lists{};
  open_ = false;
}

std::string CEdictorDoc::Title() const { return winui::LoadText(IDR_MAINFRAME); }
std::string CEdictorDoc::TypeName() const { return winui::LoadText(IDS_DOC_TYPE); }

}  // namespace edictor
