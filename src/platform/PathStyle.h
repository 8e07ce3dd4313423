#pragma once

#include <string>
#include <string_view>

namespace stowaway {

// How paths are written. The program uses the POSIX flavour; the Windows flavour
// lets tests check the classic examples ("C:\Backup\Stowaway.dat") text for text.
class PathStyle {
  public:
    enum class Flavour { Posix, Windows };

    static PathStyle Posix() { return PathStyle(Flavour::Posix); }
    static PathStyle Windows() { return PathStyle(Flavour::Windows); }

    Flavour flavour() const { return flavour_; }
    bool isWindows() const { return flavour_ == Flavour::Windows; }
    char separator() const { return isWindows() ? '\\' : '/'; }
    std::string separatorText() const { return std::string(1, separator()); }

    // Windows file names ignore case; POSIX names keep it, or files would be missed.
    bool foldsCase() const { return isWindows(); }
    std::string foldCase(std::string_view text) const;

    // folder + separator + name, the separator always added.
    std::string join(std::string_view folder, std::string_view name) const;
    // folder + name, with a separator only when the folder does not already end in one.
    std::string joinOnce(std::string_view folder, std::string_view name) const;
    bool endsWithSeparator(std::string_view path) const;
    // The root that holds a path: "C:\" for Windows, "/" for POSIX.
    std::string rootOf(std::string_view path) const;

    // Name of the default text viewer inside the "Windows folder".
    std::string textViewerName() const { return isWindows() ? "Notepad.exe" : "xdg-open"; }

  private:
    explicit PathStyle(Flavour flavour) : flavour_(flavour) {}
    Flavour flavour_;
};

}  // namespace stowaway
