#pragma once

namespace pellora {

// Notifications posted on NotificationCenter::defaultCenter() with no object.
inline constexpr const char* QVXNotification_selectedImageDidChange = "QVXNotification_selectedImageDidChange";
inline constexpr const char* QVXPreferenceNotification_interfacePreferenceDidChange =
    "QVXPreferenceNotificatio: Interface Preference DidChange";

// The main toolbar and its items.
inline constexpr const char* QVXToolbarIdentifier_main = "Main";
inline constexpr const char* QVXToolbarItemIdentifier_add = "Add";
inline constexpr const char* QVXToolbarItemIdentifier_view = "View";
inline constexpr const char* QVXToolbarItemIdentifier_remove = "Remove";
inline constexpr const char* QVXToolbarItemIdentifier_clear = "Clear";
// Standard items that the toolbar makes itself.
inline constexpr const char* ToolbarSeparatorItemIdentifier = "Separator";
inline constexpr const char* ToolbarSpaceItemIdentifier = "Space";
inline constexpr const char* ToolbarFlexibleSpaceItemIdentifier = "FlexibleSpace";
inline constexpr const char* ToolbarCustomizeItemIdentifier = "Customize";

// The preferences window's toolbar; its items' identifiers also name the panes.
inline constexpr const char* QVXToolbarIdentifier_preferences = "Preferences";
inline constexpr const char* QVXToolbarItemIdentifier_general = "General";
inline constexpr const char* QVXToolbarItemIdentifier_update = "Update";

// Columns of the source list table, in their order.
inline constexpr const char* QVXTableColumnIdentifier_icon = "Icon";
inline constexpr const char* QVXTableColumnIdentifier_name = "Name";
inline constexpr const char* QVXTableColumnIdentifier_size = "Size";

} // namespace pellora
