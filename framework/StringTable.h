#pragma once

#include <span>

// One entry of the program's string table: a numeric id and its UTF-8 text.
struct StringResource {
    unsigned id;
    const char* text;
};

// Makes `table` the string resources that FindStringResource and LoadStringResource serve.
// The resource library calls this from its explicit initialisation (see
// app/resources/ResourceInit.h); a later call replaces the whole table.
void InstallStringTable(std::span<const StringResource> table);
