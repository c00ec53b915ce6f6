// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/renameplan.h"
#include "platform/detachedcall.h"

#include <QDialog>

#include <string>
#include <vector>

class CFileOps;
class CNameFormat;
class CTagCodec;
class CTrackInfo;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QToolButton;

// Asks for a format of file names and shows, for each selected file, what OK would do with it:
// the new name its tag gives, or the fields its name gives, and why a file is refused or left
// alone. The preview follows every change of the format; the renames' preview looks at the
// folders on a thread of its own, as a share may stop answering.
class CNameFormatDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNameFormatDialog)

public:
    enum class EMode { RenameFromTags, TagsFromNames };
    enum EColumn { COL_FILE, COL_RESULT, COL_WHY, COLUMN_COUNT };

    static constexpr const char* DEFAULT_FORMAT = "%n - %a - %t";

    // The records stay the catalogue's: the dialog reads them while it is open and never keeps
    // them. The rename plan looks at the folders through ops, on a thread that may outlive the
    // dialog: ops live as long as the process.
    CNameFormatDialog(QWidget* pParent, EMode eMode, std::vector<CTrackInfo*> arrSelected,
                      const CTagCodec& codec, CFileOps& ops, const std::string& strFormat);
    ~CNameFormatDialog() override;

    // The format stored, or the default where the stored one cannot serve the mode.
    static std::string UsableFormat(EMode eMode, const std::string& strStored);

    std::string GetFormat() const;
    // The renames OK lets go, in selection order.
    std::vector<SRenameStep> GetRenames() const;
    // The records whose names give fields that may be written, in selection order.
    std::vector<CTrackInfo*> GetTaggedTracks() const { return m_arrTagged; }

    QLineEdit* GetFormatBox() const { return m_pFormat; }
    QToolButton* GetPlaceholderButton() const { return m_pPlaceholders; }
    QTableWidget* GetPreview() const { return m_pPreview; }
    // Why the format cannot serve, or empty.
    QLabel* GetFormatProblem() const { return m_pProblem; }
    QDialogButtonBox* GetButtons() const { return m_pButtons; }
    // From a change of the format to its preview shown.
    bool IsPreviewPending() const { return m_bPreviewPending; }

private:
    void CreateControls();
    void InsertPlaceholder(const QString& strPlaceholder);
    void UpdatePreview();
    void PreviewRenames(const CNameFormat& format);
    void ShowPlan(std::vector<SRenameStep> arrPlan);
    void PreviewTags(const CNameFormat& format);
    void EnableOk();
    void AddRow(const std::string& strOldName, const QString& strResult, const QString& strWhy,
                bool bRefused);

    EMode m_eMode;
    std::vector<CTrackInfo*> m_arrSelected;
    const CTagCodec& m_codec;
    CFileOps& m_ops;
    std::vector<SRenameStep> m_arrPlan;
    std::vector<CTrackInfo*> m_arrTagged;
    QLineEdit* m_pFormat = nullptr;
    QToolButton* m_pPlaceholders = nullptr;
    QLabel* m_pProblem = nullptr;
    QTableWidget* m_pPreview = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    bool m_bPreviewPending = false;
    CDetachedCalls m_planCalls{*this};
};
