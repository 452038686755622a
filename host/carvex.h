#pragma once

#include <QString>
#include <string>

#include "hostsdk.h"

// The object-space modifier: combines the closed splines of the shape it
// modifies with those of the operand nodes listed in its parameter block.
class Carvex : public Modifier {
public:
    Carvex();
    ~Carvex() override = default;

    void DeleteThis() override { delete this; }
    void GetClassName(MSTR& s) override;
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override;

    void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) override;

    int NumSubs() override { return 1; }
    Animatable* SubAnim(int) override { return pblock; }
    MSTR SubAnimName(int) override;
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pblock; }
    IParamBlock2* GetParamBlockByID(BlockID id) override;

    // Reference 0 is the parameter block, references 1 to n the rows of "Spline_Node".
    int NumRefs() override;
    RefTargetHandle GetReference(int i) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    // A render must see operands as they are now, so the modifier asks to be
    // evaluated again.
    int RenderBegin(TimeValue t, ULONG flags = 0) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    int Display(TimeValue t, INode* inode, ViewExp* vpt, int flags, ModContext* mc) override;
    const MCHAR* GetObjectName() override;

    Interval LocalValidity(TimeValue) override { return ivalid; }
    ChannelMask ChannelsUsed() override { return TOPO_CHANNEL | GEOM_CHANNEL | TM_CHANNEL; }
    ChannelMask ChannelsChanged() override { return TOPO_CHANNEL | GEOM_CHANNEL | TM_CHANNEL; }
    Class_ID InputType() override { return splineShapeClassID; }
    void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) override;

    // The last evaluation's line for the Parameters rollout: what the
    // operands came to, or why they left the shape as it was.
    const std::wstring& status() const { return statusText; }

private:
    void combineOperands(TimeValue t, ModContext& mc, ObjectState* os);
    void setStatus(const QString& text);
    std::wstring statusText;

public:
    IParamBlock2* pblock = nullptr;
    Interval ivalid = NEVER;

private:
    void SetReference(int i, RefTargetHandle target) override;
};
