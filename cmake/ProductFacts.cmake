# The product's facts, written once. CMake turns them into a C/C++/resource
# header for the DLL, the settings program and the tests, and into a wixl
# include for the Windows package.

# Names a distributor may change: the company (also the name of the settings
# folder under the common application-data folder) and the products' names.
set(VANTREL_COMPANY "Kestrova" CACHE STRING "Company name: install folder and settings folder")
set(VANTREL_PRODUCT "${PROJECT_NAME}" CACHE STRING "Product name of the package and the DLL")
set(VANTREL_SETTINGS_PROGRAM "SorvaneSettings" CACHE STRING "Name of the settings program")
set(VANTREL_SETTINGS_SHORTCUT "Sorvane Settings" CACHE STRING "Start-menu entry of the settings program")

# Fixed by the registry layout that the Shell, the settings program and
# earlier installations share: changing one would orphan their keys.
set(VANTREL_PROVIDER_CLSID "{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}")
set(VANTREL_THUMBNAIL_HANDLER_KEY "{E357FCCD-A995-4576-B01F-234630154E96}")
set(VANTREL_PREVIEW_HANDLER_KEY "{8895b1c6-b41f-4c1c-a562-0d564250836f}")
set(VANTREL_PREVIEW_HANDLER_CLSID "{A1F5C3D7-62B4-4E8A-9D0C-3B7E51F2A6C4}")
set(VANTREL_PROVIDER_CLASS_NAME "Vantrel")
# The preview handler, a module of its own beside the thumbnail provider,
# run by the Shell's 64-bit preview host (its AppID).
set(VANTREL_PREVIEW_MODULE "VantrelPreview")
set(VANTREL_PREVIEW_CLASS_NAME "Vantrel Preview")
set(VANTREL_PREVIEW_HOST_APPID "{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}")
# The type the DLL's own registration, and the package, associate.
set(VANTREL_ASSOCIATED_TYPE ".nc")

# Files in the settings folder.
set(VANTREL_SHOW_AXIS_FILE "Vantrel_ShowAxis.txt")
set(VANTREL_SHOW_COMMENT_FILE "Vantrel_ShowComment.txt")
set(VANTREL_SHOW_TYPE_FILE "Vantrel_ShowType.txt")
set(VANTREL_THUMBNAIL_LIST_FILE "Vantrel_RegedTypes.txt")
set(VANTREL_PREVIEW_LIST_FILE "Vantrel_RegedTypesPreview.txt")

# Every package of the product shares this code, so a newer one replaces an
# older one in place.
set(VANTREL_UPGRADE_CODE "{6B0E3F52-9C1A-4D7E-B8F4-2A5C7E913D60}")

# A class identifier as the numbers of a GUID initialiser.
function(vantrel_guid_initializer guid out)
  if(NOT guid MATCHES "^{[0-9A-Fa-f]+(-[0-9A-Fa-f]+)+}$")
    message(FATAL_ERROR "not a GUID: ${guid}")
  endif()
  string(REGEX REPLACE "[{}-]" "" hex "${guid}")
  string(SUBSTRING "${hex}" 0 8 data1)
  string(SUBSTRING "${hex}" 8 4 data2)
  string(SUBSTRING "${hex}" 12 4 data3)
  set(bytes "")
  foreach(at RANGE 16 30 2)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    list(APPEND bytes "0x${byte}")
  endforeach()
  list(JOIN bytes ", " bytes)
  set(${out} "0x${data1}, 0x${data2}, 0x${data3}, {${bytes}}" PARENT_SCOPE)
endfunction()
vantrel_guid_initializer("${VANTREL_PROVIDER_CLSID}" VANTREL_PROVIDER_CLSID_INITIALIZER)
vantrel_guid_initializer("${VANTREL_PREVIEW_HANDLER_CLSID}" VANTREL_PREVIEW_HANDLER_CLSID_INITIALIZER)

set(VANTREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ProductFacts.h.in ${VANTREL_GENERATED_DIR}/ProductFacts.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/ProductFacts.wxi.in
               ${VANTREL_GENERATED_DIR}/ProductFacts.wxi @ONLY)

add_library(vantrel_facts INTERFACE)
target_include_directories(vantrel_facts INTERFACE ${VANTREL_GENERATED_DIR})
