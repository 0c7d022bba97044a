# The fuzz targets, one per parser of outside input: fuzzing/<name>.cpp, its
# seed corpus in fuzzing/corpus/<name>/ and, where the format has keywords, its
# dictionary fuzzing/<name>.dict. Both the clang build (fuzzing/CMakeLists.txt) and
# the replay in the native tree read this list.
set(FUZZ_TARGETS
  vendor_strings
  reply_reader
  device_id_model
  packet_codec
  packet_exchange
  printer_replies
  command_line
  ini_models
  fleet
  usb_lookup
  channel_api_answers
  identity_lookup
  hostile_printer
  station_log
  plant_outbox)
