// The link schemes of web pages, nlp:// and nlps://, which start the
// installed launcher with the link as its argument. Registered for the user
// below HKEY_CURRENT_USER\Software\Classes, as .nlp is. Windows only.
#pragma once

// The schemes and the description their keys carry.
constexpr const char* link_schemes[] = {"nlp", "nlps"};
constexpr char link_scheme_description[] = "URL:Network Launch Protocol";

// Registers each scheme to open with executable: the default value
// link_scheme_description, an empty "URL Protocol" value, DefaultIcon
// "<executable>,0" and shell\open\command "\"<executable>\" \"%1\"". A
// scheme the shell already opens with executable is left alone. Each is
// logged, a scheme whose keys cannot be written too; nothing is shown.
void link_scheme_register(const char* executable);

// True when a scheme's per-user open command still names executable.
bool link_scheme_names(const char* executable);

// Removes each scheme's per-user key whose open command still names
// executable; another program's stays. Each removal is logged.
void link_scheme_remove(const char* executable);
