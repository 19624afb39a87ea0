# The settings profile workbook (office layer).
target_sources(varnel_office PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/profile.h ${CMAKE_CURRENT_LIST_DIR}/profile.cpp
)
