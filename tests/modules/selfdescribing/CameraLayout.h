// The camera of the self-describing test component: its identity, its register space and the
// GenApi document in it. The component and the tests that drive it through the producer share
// these values.
#pragma once

#include <cstdint>

namespace self_describing {

constexpr char kBoardID[] = "SelfBoard";
constexpr char kCameraID[] = "SelfCam";
constexpr char kVendor[] = "Selfmade";
constexpr char kModel[] = "SD1";
constexpr uint32_t kPayloadSize = 4096;

// The register space: 64 KiB.
constexpr uint64_t kSpaceSize = 0x10000;
constexpr uint64_t kVendorAddress = 0x0000;  // text, 32 bytes, read-only
constexpr uint64_t kVendorLength = 32;
constexpr uint64_t kGainAddress = 0x0100;  // read-write, 0 .. kGainMax
constexpr uint32_t kGainInitial = 10;
constexpr uint32_t kGainMax = 48;
constexpr uint64_t kWidthAddress = 0x0104;  // locked: the camera acquires
constexpr uint32_t kWidth = 640;
constexpr uint64_t kDocumentAddress = 0x8000;  // read-only

constexpr char kDocument[] = R"(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription xmlns="http://www.genicam.org/GenApi/Version_1_1"
  xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
  xsi:schemaLocation="http://www.genicam.org/GenApi/Version_1_1 GenApiSchema_Version_1_1.xsd"
  ModelName="SD1" VendorName="Selfmade" ToolTip="A camera that describes itself" StandardNameSpace="None"
  SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0"
  MajorVersion="1" MinorVersion="1" SubMinorVersion="0"
  ProductGuid="3F0C9A52-6D1B-4E27-8C44-1A9E5B70D2F6" VersionGuid="B81E4C07-59A3-4D6E-9F12-7C2D0E8A4B31">
  <Category Name="Root">
    <pFeature>DeviceVendorName</pFeature>
    <pFeature>Gain</pFeature>
    <pFeature>Width</pFeature>
  </Category>
  <StringReg Name="DeviceVendorName">
    <Address>0x0</Address>
    <Length>32</Length>
    <AccessMode>RO</AccessMode>
    <pPort>Device</pPort>
  </StringReg>
  <Integer Name="Gain">
    <pValue>GainReg</pValue>
    <Min>0</Min>
    <Max>48</Max>
  </Integer>
  <IntReg Name="GainReg">
    <Address>0x100</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Sign>Unsigned</Sign>
    <Endianess>LittleEndian</Endianess>
  </IntReg>
  <IntReg Name="Width">
    <Address>0x104</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Sign>Unsigned</Sign>
    <Endianess>LittleEndian</Endianess>
  </IntReg>
  <Port Name="Device"/>
</RegisterDescription>
)";
// The document's block: the text zero-padded to whole 32-bit words.
constexpr uint64_t kDocumentLength = (sizeof kDocument - 1 + 3) / 4 * 4;

}  // namespace self_describing
