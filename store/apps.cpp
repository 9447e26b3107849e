// apps.cpp - the application list: programs by executable name.
#include "find_or_add.h"
#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

namespace {

// The key text and fields of a new entry; the same for every way of adding one.
struct NewApp {
  char key_text[PFW_KEY_TEXT_SIZE];
  int any;
  const char* name;
  const char* description;

  NewApp(int any_, const char* name_, const char* description_) : any(any_), name(name_), description(description_) {
    app_key_text(key_text, sizeof key_text, any, name);
  }
  auto duplicate() const {
    return [this](const PFW_APP& e) { return strcmp(e.key_text, key_text) == 0; };
  }
  auto fill() const {
    return [this](PFW_APP& e) {
      copy_field(e.key_text, sizeof e.key_text, key_text);
      e.any = any;
      copy_field(e.name, sizeof e.name, name);
      copy_field(e.description, sizeof e.description, description);
      e.kind = PFW_KIND_APP;
    };
  }
};

int add_app(PFW_APP_ROOT* root, int any, const char* name, const char* description, bool has_key, unsigned key) {
  NewApp x(any, name, description);
  return insert_entry<PFW_APP>(kApps, root, x.duplicate(), x.fill(), has_key, key, any == 1);
}

}  // namespace

PFW_APP* tessary::find_or_add_app(PFW_APP_ROOT* root, const char* name, const char* description, int* key,
                                  PFW_APP* copy, bool* added) {
  if (!name) return nullptr;
  NewApp x(0, name, description);
  return find_or_insert_entry<PFW_APP>(
      kApps, root, [&](const PFW_APP& e) { return strcmp(e.name, name) == 0; }, [](PFW_APP&) {}, x.duplicate(),
      x.fill(), false, key, copy, added);
}

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
