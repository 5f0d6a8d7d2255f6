// Access keys in menus that share a letter between entries.
#pragma once

class QMenu;

namespace plastora::ui {

// Makes an access key that several entries of `menu` share reach the
// enabled ones. Qt's menu goes to the first entry with the letter and, when
// that one is disabled, stays there on every press, so an enabled entry
// further down (遠近設定(D) below a disabled 切出し領域削除(D)) could not be
// chosen by its key at all. With this, a shared key moves the highlight
// between the enabled entries that have it (to the only one, when just one
// is), and Enter runs it: a shared key never runs an entry by itself, so
// the letter of an entry that is disabled in one mode cannot run another,
// perhaps destructive, entry in its place. The filter is owned by `menu`.
void reachEnabledEntriesByAccessKey(QMenu* menu);

}  // namespace plastora::ui
