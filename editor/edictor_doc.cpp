#include "edictor_doc.h"

#include "edictor_ids.h"
#include "window.h"

namespace edictor {

void CEdictorDoc::Open() {
    if (open_) return;
    open_ = true;
    lists_.protocols = PFW_CreateProtocolList();
    lists_.addresses = PFW_CreateAddressList();
    lists_.apps = PFW_CreateAppList();
    lists_.rules = PFW_CreateRuleList();
    PFW_LoadProtocolSetFromRegistry(lists_.protocols);
    PFW_LoadAddressSetFromRegistry(lists_.addresses);
    PFW_LoadApplicationSetFromRegistry(lists_.apps);
    PFW_LoadRuleSetFromRegistry(lists_.rules);
}

void CEdictorDoc::Close() {
    // Never removed: the monitor, the wizard and the interceptor go on using them.
    lists_ = Lists{};
    open_ = false;
}

std::string CEdictorDoc::Title() const { return winui::LoadText(IDR_MAINFRAME); }
std::string CEdictorDoc::TypeName() const { return winui::LoadText(IDS_DOC_TYPE); }

}  // namespace edictor
