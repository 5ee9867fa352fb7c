# Every source of the module, folder by folder; tests and benchmarks live elsewhere.
file(GLOB CORVALA4_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/interface/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/engine/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/model/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/results/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/foundation/*.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/foundation/platform/*.cc)
list(FILTER CORVALA4_SOURCES EXCLUDE REGEX "/interface/module\\.cc$")
