// protocols.cpp - the protocol list: named services by transport and port.
#include "find_or_add.h"
#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

namespace {

// The key text and fields of a new entry; the same for every way of adding one.
struct NewProtocol {
  char key_text[PFW_KEY_TEXT_SIZE];
  int any;
  const char* name;
  int transport;
  unsigned port;

  NewProtocol(int any_, const char* name_, int transport_, unsigned port_)
      : any(any_), name(name_), transport(transport_), port(port_) {
    protocol_key_text(key_text, sizeof key_text, any, transport, port);
  }
  auto duplicate() const {
    return [this](const PFW_PROTO& e) { return strcmp(e.key_text, key_text) == 0; };
  }
  auto fill() const {
    return [this](PFW_PROTO& e) {
      copy_field(e.key_text, sizeof e.key_text, key_text);
      e.any = any;
      copy_field(e.name, sizeof e.name, name);
      e.transport = transport;
      e.port = port;
      e.kind = PFW_KIND_PROTOCOL;
    };
  }
};

int add_protocol(PFW_PROTO_ROOT* root, int any, const char* name, PFW_TRANSPORT transport, unsigned port, bool has_key,
                 unsigned key) {
  NewProtocol p(any, name, transport, port);
  return insert_entry<PFW_PROTO>(kProtocols, root, p.duplicate(), p.fill(), has_key, key, any == 1);
}

}  // namespace

PFW_PROTO* tessary::find_or_add_service(PFW_PROTO_ROOT* root, const char* name, int transport, unsigned port, int* key,
                                        PFW_PROTO* copy, bool* added) {
  NewProtocol p(0, name, transport, port);
  return find_or_insert_entry<PFW_PROTO>(
      kProtocols, root, [&](const PFW_PROTO& e) { return e.any == 0 && e.transport == transport && e.port == port; },
      [](PFW_PROTO&) {}, p.duplicate(), p.fill(), false, key, copy, added);
}

int PFW_AddProtocol(PFW_PROTO_ROOT* root, int any, const char* name, PFW_TRANSPORT transport, unsigned port) {
  return add_protocol(root, any, name, transport, port, false, 0);
}

int PFW_AddProtocol(PFW_PROTO_ROOT* root, int any, const char* name, PFW_TRANSPORT transport, unsigned port,
                    unsigned key) {
  return add_protocol(root, any, name, transport, port, true, key);
}

extern "C" {

int PFW_DeleteProtocol(PFW_PROTO_ROOT* root, int key) { return unlink_entry<PFW_PROTO>(kProtocols, root, key); }

PFW_PROTO* PFW_GetProtocolByKey(PFW_PROTO_ROOT* root, const char* key_text, int* out_key, PFW_PROTO* out_copy) {
  if (!key_text) return nullptr;
  return walk_list<PFW_PROTO>(
      kProtocols, root, [&](const PFW_PROTO& e) { return strcmp(e.key_text, key_text) == 0; }, out_key, out_copy);
}

PFW_PROTO* PFW_GetProtocolByName(PFW_PROTO_ROOT* root, const char* name, int* out_key, PFW_PROTO* out_copy) {
  if (!name) return nullptr;
  return walk_list<PFW_PROTO>(
      kProtocols, root, [&](const PFW_PROTO& e) { return strcmp(e.name, name) == 0; }, out_key, out_copy);
}

PFW_PROTO* PFW_GetProtocolByIndex(PFW_PROTO_ROOT* root, int key, PFW_PROTO* out_copy) {
  return walk_list<PFW_PROTO>(
      kProtocols, root, [&](const PFW_PROTO& e) { return e.key == (uint32_t)key; }, nullptr, out_copy);
}

PFW_PROTO* PFW_GetExactProtocolByService(PFW_PROTO_ROOT* root, int transport, unsigned port, int* out_key,
                                         PFW_PROTO* out_copy) {
  return walk_list<PFW_PROTO>(
      kProtocols, root, [&](const PFW_PROTO& e) { return e.transport == transport && e.port == port; }, out_key,
      out_copy);
}

PFW_PROTO* PFW_GetProtocolByService(PFW_PROTO_ROOT* root, int transport, unsigned port, int* out_key,
                                    PFW_PROTO* out_copy) {
  PFW_PROTO* hit = PFW_GetExactProtocolByService(root, transport, port, out_key, out_copy);
  if (hit || !root) return hit;
  // A miss falls back to the wildcard entry.
  uint32_t any_key = root->any_key;
  PFW_PROTO* any = PFW_GetProtocolByIndex(root, (int)any_key, out_copy);
  if (any && out_key) *out_key = (int)any_key;
  return any;
}

}  // extern "C"
