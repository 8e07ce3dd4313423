#pragma once

#include "ui/controls/Controls.h"

namespace stowaway {

// The about box: name, version, a description and thanks.
class AboutForm : public Form {
public:
    AboutForm() : Form("FrmAbout", "About", {0, 0, 530, 369}) { setVisible(false); }
    bool loaded = false;
    Label Label1{"Label1", "Stowaway", {48, 8, 147, 41}};
    Button CmdOkAbout{"CmdOkAbout", "&Ok", {440, 8, 81, 25}};
    Frame Frame1{"Frame1", "Information", {8, 48, 177, 185}};
    Label LblVersion{"LblVersion", "Version", {8, 16, 0, 0, "Frame1"}};
    Label Label3{"Label3", "Mailware(Freeware) Backup Utility", {8, 32, 0, 0, "Frame1"}};
    Label Label2{"Label2", "Written by the Stowaway team", {8, 48, 0, 0, "Frame1"}};
    Label Label5{"Label5", "stowaway@example.org", {8, 64, 0, 0, "Frame1"}};
    Frame Frame2{"Frame2", "Notes", {192, 48, 329, 185}};
    Label Label9{"Label9",
                 "Stowaway is a free backup utility that gives you the features of costly "
                 "backup programs: backup sets, filters by name and date, and restore.",
                 {8, 16, 318, 52, "Frame2"}};
    Label Label10{"Label10",
                  "Stowaway is free. If you use it, please send the authors an e-mail and tell "
                  "them what you think of it.",
                  {8, 72, 314, 65, "Frame2"}};
    Label Label4{"Label4", "Chat: stowaway-team", {8, 144, 0, 0, "Frame2"}};
    Label Label11{"Label11", "Number: 000000", {8, 160, 0, 0, "Frame2"}};
    Frame Frame3{"Frame3", "Special Thanks to", {8, 240, 513, 121}};
    Label Label7{"Label7", "Everyone who tested the early builds and reported what broke.",
                 {8, 16, 491, 0, "Frame3"}};
    Label Label6{"Label6", "The friend who found the name.", {8, 48, 276, 0, "Frame3"}};
    Label Label8{"Label8", "Family and friends, for their encouragement.", {8, 72, 393, 0, "Frame3"}};
    Label Label12{"Label12", "The first users, for their early interest.", {8, 96, 450, 0, "Frame3"}};
};

}  // namespace stowaway
