# The list file's pure sources, which build natively (no platform header), relative to the repo root.
# Sourced by the native test scripts, so a file added to or split from them is named once.
GK_NATIVE_SOURCES=(listfile/mapping_file.cpp listfile/csv_records.cpp listfile/mapping_values.cpp
                   listfile/unicode_text.cpp listfile/import_plan.cpp listfile/list_text.cpp ui/text_rules.cpp
                   natcfg/port_mapping.cpp)
GK_NATIVE_HEADERS=(listfile/mapping_file.h listfile/csv_records.h listfile/mapping_values.h listfile/unicode_text.h
                   listfile/import_plan.h listfile/list_text.h ui/text_rules.h natcfg/port_mapping.h)
