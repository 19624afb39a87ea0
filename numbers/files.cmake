# Number list workbook and CSV files (office layer).
target_sources(varnel_office PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/number_files.h ${CMAKE_CURRENT_LIST_DIR}/number_files.cpp
)
