# The fuzz targets and the libraries each needs; read by fuzz/ (libFuzzer
# builds) and tests/fuzz/ (replay of the corpus and regression inputs).
set(KV9_FUZZ_NAMES hex_fields boot_replies link_replies sim_frames cli_options srecord_loader intel_hex_loader eeprom_backup_text)
set(KV9_FUZZ_LIBS_hex_fields kv9core)
set(KV9_FUZZ_LIBS_boot_replies kv9core)
set(KV9_FUZZ_LIBS_link_replies kv9core)
set(KV9_FUZZ_LIBS_sim_frames kv9simlib)
set(KV9_FUZZ_LIBS_cli_options kv9cli)
set(KV9_FUZZ_LIBS_srecord_loader kv9core)
set(KV9_FUZZ_LIBS_intel_hex_loader kv9core)
set(KV9_FUZZ_LIBS_eeprom_backup_text kv9core)
