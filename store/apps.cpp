// apps.cpp - the application list: programs by executable name.
#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

namespace {

int add_app(PFW_APP_ROOT* root, int any, const char* name, const char* description, bool has_key, unsigned key) {
  char key_text[PFW_KEY_TEXT_SIZE];
  app_key_text(key_text, sizeof key_text, any, name);
  auto same_key_text = [&](const PFW_APP& e) { return strcmp(e.key_text, key_text) == 0; };
  auto fill = [&](PFW_APP& e) {
    copy_field(e.key_text, sizeof e.key_text, key_text);
    e.any = any;
    copy_field(e.name, sizeof e.name, name);
    copy_field(e.description, sizeof e.description, description);
    e.kind = PFW_KIND_APP;
  };
  return insert_entry<PFW_APP>(kApps, root, same_key_text, fill, has_key, key, any == 1);
}

}  // namespace

int PFW_AddApp(PFW_APP_ROOT* root, int any, const char* name, const char* description) {
  return add_app(root, any, name, description, false, 0);
}

int PFW_AddApp(PFW_APP_ROOT* root, int any, const char* name, const char* description, unsigned key) {
  return add_app(root, any, name, description, true, key);
}

extern "C" {

int PFW_DeleteApp(PFW_APP_ROOT* root, int key) { return unlink_entry<PFW_APP>(kApps, root, key); }

PFW_APP* PFW_GetExactAppByName(PFW_APP_ROOT* root, const char* name, int* out_key, PFW_APP* out_copy) {
  if (!name) return nullptr;
  return walk_list<PFW_APP>(
      kApps, root, [&](const PFW_APP& e) { return strcmp(e.name, name) == 0; }, out_key, out_copy);
}

PFW_APP* PFW_GetAppByName(PFW_APP_ROOT* root, const char* name, int* out_key, PFW_APP* out_copy) {
  PFW_APP* hit = PFW_GetExactAppByName(root, name, out_key, out_copy);
  if (hit || !root) return hit;
  uint32_t any_key = root->any_key;
  PFW_APP* any = PFW_GetAppByIndex(root, (int)any_key, out_copy);
  if (any && out_key) *out_key = (int)any_key;
  return any;
}

PFW_APP* PFW_GetAppByDescription(PFW_APP_ROOT* root, const char* description, int* out_key, PFW_APP* out_copy) {
  if (!description) return nullptr;
  return walk_list<PFW_APP>(
      kApps, root, [&](const PFW_APP& e) { return strcmp(e.description, description) == 0; }, out_key, out_copy);
}

PFW_APP* PFW_GetAppByIndex(PFW_APP_ROOT* root, int key, PFW_APP* out_copy) {
  return walk_list<PFW_APP>(
      kApps, root, [&](const PFW_APP& e) { return e.key == (uint32_t)key; }, nullptr, out_copy);
}

}  // extern "C"
