#pragma once
// Message maps: each dialog class lists the buttons, notifications and messages it handles; a
// message the class does not list goes to its base class's map. Handlers are member functions
// of the dialog class:
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog3d)
//     ON_BN_CLICKED(1002, &CMyDlg::OnAdd)                        // void OnAdd()
//     ON_EN_CHANGE(1003, &CMyDlg::OnFilter)                      // void OnFilter()
//     ON_NOTIFY(NM_CLICK, 1001, &CMyDlg::OnClickList)            // void (NMHDR*, LRESULT*)
//     ON_MESSAGE(WM_XLISTCTRL_LINK_CLICKED, &CMyDlg::OnLink)     // LRESULT (WPARAM, LPARAM)
//   END_MESSAGE_MAP()
#include <span>

#include "host/ui/UiTypes.h"

class CDialog3d;

namespace ui {

enum class EntryKind { Command, Notify, Message };

using CommandHandler = void (CDialog3d::*)();
using NotifyHandler = void (CDialog3d::*)(NMHDR*, LRESULT*);
using MessageHandler = LRESULT (CDialog3d::*)(WPARAM, LPARAM);

struct MessageMapEntry {
  EntryKind kind;
  UINT code;  // notification code (Notify), message (Message), BN_CLICKED (Command)
  int id;     // control id (Command, Notify)
  CommandHandler command;
  NotifyHandler notify;
  MessageHandler message;
};

struct MessageMap {
  const MessageMap* base;  // null for the root class
  std::span<const MessageMapEntry> entries;
};

}  // namespace ui

#define DECLARE_MESSAGE_MAP()                           \
 protected:                                             \
  const ui::MessageMap* GetMessageMap() const override; \
                                                        \
 public:                                                \
  static const ui::MessageMap* GetThisMessageMap();

#define BEGIN_MESSAGE_MAP(cls, baseCls)              \
  const ui::MessageMap* cls::GetMessageMap() const { \
    return GetThisMessageMap();                      \
  }                                                  \
  const ui::MessageMap* cls::GetThisMessageMap() {   \
    using ThisClass = cls;                           \
    using TheBase = baseCls;                         \
    static const ui::MessageMapEntry entries[] = {
#define ON_BN_CLICKED(ctrlId, handler)                                              \
  ui::MessageMapEntry{                                                              \
      ui::EntryKind::Command,                                                       \
      BN_CLICKED,                                                                   \
      ctrlId,                                                                       \
      static_cast<ui::CommandHandler>(static_cast<void (ThisClass::*)()>(handler)), \
      nullptr,                                                                      \
      nullptr},

#define ON_EN_CHANGE(ctrlId, handler)                                               \
  ui::MessageMapEntry{                                                              \
      ui::EntryKind::Command,                                                       \
      EN_CHANGE,                                                                    \
      ctrlId,                                                                       \
      static_cast<ui::CommandHandler>(static_cast<void (ThisClass::*)()>(handler)), \
      nullptr,                                                                      \
      nullptr},

#define ON_NOTIFY(notifyCode, ctrlId, handler)                                                     \
  ui::MessageMapEntry{                                                                             \
      ui::EntryKind::Notify,                                                                       \
      notifyCode,                                                                                  \
      ctrlId,                                                                                      \
      nullptr,                                                                                     \
      static_cast<ui::NotifyHandler>(static_cast<void (ThisClass::*)(NMHDR*, LRESULT*)>(handler)), \
      nullptr},

#define ON_MESSAGE(msg, handler)                       \
  ui::MessageMapEntry{ui::EntryKind::Message,          \
                      msg,                             \
                      0,                               \
                      nullptr,                         \
                      nullptr,                         \
                      static_cast<ui::MessageHandler>( \
                          static_cast<LRESULT (ThisClass::*)(WPARAM, LPARAM)>(handler))},

#define END_MESSAGE_MAP()                                                 \
  ui::MessageMapEntry {                                                   \
    ui::EntryKind::Message, 0, 0, nullptr, nullptr, nullptr               \
  }                                                                       \
  }                                                                       \
  ;                                                                       \
  static const ui::MessageMap map{TheBase::GetThisMessageMap(), entries}; \
  return &map;                                                            \
  }
